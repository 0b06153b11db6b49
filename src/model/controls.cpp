#include "model/controls.h"

namespace kestrun {

Control::Control(std::string name, ControlKind kind, std::string text, Geometry pos, int tabIndex,
                 std::string container)
    : name_(std::move(name)),
      kind_(kind),
      text_(std::move(text)),
      pos_(pos),
      tabIndex_(tabIndex),
      container_(std::move(container)) {}

void Control::SetText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    Changed();
}

CheckBox::CheckBox(std::string name, std::string caption, Geometry pos, int tabIndex, int value,
                   std::string container)
    : Control(std::move(name), ControlKind::CheckBox, std::move(caption), pos, tabIndex,
              std::move(container)),
      value_(value) {}

bool CheckBox::SetValue(int value) {
    if (value != 0 && value != 1) return false;
    if (value == value_) return true;
    value_ = value;
    Changed();
    if (onClick) onClick();
    return true;
}

void OptionButton::SetValueQuietly(bool value) {
    if (value_ == value) return;
    value_ = value;
    Changed();
}

ListControl::ListControl(std::string name, ControlKind kind, std::vector<std::string> items,
                         Geometry pos, int tabIndex, std::string container)
    : Control(std::move(name), kind, {}, pos, tabIndex, std::move(container)),
      items_(std::move(items)) {}

bool ListControl::SetSelectedIndex(int index) {
    if (index < -1 || index >= ListCount()) return false;
    bool changed = index != selected_;
    selected_ = index;
    SetText(index >= 0 ? items_[index] : std::string());
    if (changed) Changed();
    if (index >= 0 && onClick) onClick();
    return true;
}

void ListControl::AddItem(std::string item) {
    items_.push_back(std::move(item));
    Changed();
}

void ListControl::Clear() {
    items_.clear();
    selected_ = -1;
    SetText({});
    Changed();
}

}  // namespace kestrun
