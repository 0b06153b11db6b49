#pragma once
// The window's controls as plain data. A change of a check box's value or of a list's selection
// runs the control's handler, whether a person clicked or the program set it, so option rules
// cascade exactly as they do under a person's clicks.
#include <functional>
#include <string>
#include <vector>

namespace kestrun {

enum class ControlKind {
    TextBox,
    Button,
    CheckBox,
    DropDownList,
    ComboBox,
    Label,
    Frame,
    OptionButton
};

// Left, top, width, height in twips (15 twips to a pixel); inside a frame, relative to it.
struct Geometry {
    int left = 0, top = 0, width = 0, height = 0;
};

class Control {
public:
    Control(std::string name, ControlKind kind, std::string text, Geometry pos, int tabIndex,
            std::string container = {});
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    const Geometry& pos() const { return pos_; }
    int tabIndex() const { return tabIndex_; }
    const std::string& container() const { return container_; }

    // Caption of a button, label, frame, check box or option button; the text of a text box.
    const std::string& text() const { return text_; }
    void SetText(std::string text);

    bool enabled = true;
    bool visible = true;
    std::string tooltip;
    // Told of every change of text, value or selection (the views and the CLI listen here).
    std::function<void(const Control&)> onChange;

protected:
    void Changed() {
        if (onChange) onChange(*this);
    }

private:
    std::string name_;
    ControlKind kind_;
    std::string text_;
    Geometry pos_;
    int tabIndex_;
    std::string container_;
};

using TextBox = Control;
using Label = Control;
using Button = Control;
using Frame = Control;

class CheckBox : public Control {
public:
    CheckBox(std::string name, std::string caption, Geometry pos, int tabIndex, int value = 0,
             std::string container = {});
    int value() const { return value_; }
    // Sets 0 or 1; runs the click handler when the value really changes. Other values fail
    // (false) and change nothing, as an invalid property value would.
    bool SetValue(int value);
    // A person's click: toggles, as the window does for an enabled box.
    void Click() { SetValue(value_ == 0 ? 1 : 0); }

    std::function<void()> onClick;

private:
    int value_;
};

class OptionButton : public Control {
public:
    using Control::Control;
    bool value() const { return value_; }
    void SetValueQuietly(bool value);

private:
    bool value_ = false;
};

class ListControl : public Control {
public:
    ListControl(std::string name, ControlKind kind, std::vector<std::string> items, Geometry pos,
                int tabIndex, std::string container = {});
    const std::vector<std::string>& items() const { return items_; }
    int ListCount() const { return static_cast<int>(items_.size()); }
    int selectedIndex() const { return selected_; }
    // -1 clears the selection; 0..count-1 selects and runs the click handler; anything else
    // fails (false) and changes nothing.
    bool SetSelectedIndex(int index);
    void AddItem(std::string item);
    void Clear();

    std::function<void()> onClick;

private:
    std::vector<std::string> items_;
    int selected_ = -1;
};

}  // namespace kestrun
