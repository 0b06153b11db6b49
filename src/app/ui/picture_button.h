#pragma once
// A button that shows its picture in place of its caption (the design's picture-style button).
// The caption stays the button's text, for keyboard users and screen readers, and shows as its
// tooltip when it has no tooltip of its own.
#include <QPushButton>

namespace kestrun::ui {

class PictureButton : public QPushButton {
public:
    PictureButton(const QIcon& picture, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

}  // namespace kestrun::ui
