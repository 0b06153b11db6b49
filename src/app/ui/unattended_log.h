#pragma once
// An unattended run of the window (KESTRUN_UNATTENDED_LOG): message boxes are not shown but
// written here, and what the window shows of a conversion is written with them, one line each:
//     <what> TAB <text>
// with backslash, TAB, CR and LF in the text written as \\, \t, \r, \n.
#include <string>
#include <string_view>

namespace kestrun::ui {

class UnattendedLog {
public:
    explicit UnattendedLog(std::string path = {}) : path_(std::move(path)) {}
    bool active() const { return !path_.empty(); }
    void Write(std::string_view what, std::string_view text) const;

    static std::string Escape(std::string_view text);

private:
    std::string path_;
};

}  // namespace kestrun::ui
