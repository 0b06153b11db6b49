#pragma once
// Draws subtitle cues as the viewer sees them, with libass (FreeType and fontconfig): the named
// font (or a free one where it is missing), its size in pixels, colour and black border, lines
// centred at a distance from the bottom of a video-sized canvas. Cues shown at the same time are
// stacked into one picture. The picture is then reduced to a PG palette.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pg_segments.h"
#include "subtitle_cues.h"

namespace standin::ts {

struct SubtitleStyle {
    std::string fontName = "Arial";
    int fontSize = 42;           // pixels
    uint32_t colour = 0xFFFFFF;  // 0xAARRGGBB; alpha 0 means opaque
    int border = 1;              // pixels
    double bottomOffset = 50;    // pixels from the bottom of the frame
    int videoWidth = 1920, videoHeight = 1080;
};

// A straight-alpha RGBA picture cut from the canvas at (x, y).
struct RgbaPicture {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> rgba;
    bool Empty() const { return width == 0 || height == 0; }
};

class SubtitleRenderer {
public:
    // Throws std::runtime_error when libass cannot start.
    SubtitleRenderer(const SubtitleStyle& style, const std::vector<SubtitleCue>& cues);
    ~SubtitleRenderer();
    SubtitleRenderer(const SubtitleRenderer&) = delete;
    SubtitleRenderer& operator=(const SubtitleRenderer&) = delete;

    // What shows at `ms`, cut to the drawn pixels (even sizes, inside the frame); empty when
    // nothing does.
    RgbaPicture Render(int64_t ms);

private:
    struct Libass;
    std::unique_ptr<Libass> ass_;
    SubtitleStyle style_;
};

// The picture as palette indexes (0 transparent, at most 255 colours) and its palette in Y Cr Cb
// (BT.709 for HD frames, BT.601 below), limited range.
struct IndexedPicture {
    PgPicture picture;
    std::vector<PgPaletteEntry> palette;
};
IndexedPicture ToPalette(const RgbaPicture& picture, bool hd);

}  // namespace standin::ts
