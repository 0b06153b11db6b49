#pragma once
// The window model places its controls in twips; the screen counts pixels, 15 twips to one.
#include <QRect>

#include "model/controls.h"

namespace kestrun::ui {

inline constexpr int kTwipsPerPixel = 15;

inline int TwipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

inline QRect PixelRect(const Geometry& g) {
    return {TwipsToPixels(g.left), TwipsToPixels(g.top), TwipsToPixels(g.width),
            TwipsToPixels(g.height)};
}

// The window's client area: 6555 x 5475 twips.
inline const QSize kWindowSize{TwipsToPixels(6555), TwipsToPixels(5475)};

}  // namespace kestrun::ui
