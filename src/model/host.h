#pragma once
// The only way from the core to a person: message boxes, questions, file and folder choice,
// repaint and event pumping. The window, the command line and the tests each implement it.
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kestrun {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

struct FileFilter {
    std::string name;     // "mkv Files (*.mkv)"
    std::string pattern;  // "*.MKV", or several separated by "; "
};

struct OpenFileRequest {
    std::string title;
    std::vector<FileFilter> filters;
    std::string initialFolder;
};

class Host {
public:
    virtual ~Host() = default;

    virtual MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                             MsgButtons buttons) = 0;
    // The chosen path, or an empty text when the person cancels.
    virtual std::string OpenFile(const OpenFileRequest& request) = 0;
    // The chosen folder without a trailing separator (except the root), or empty on cancel.
    virtual std::string BrowseForFolder(const std::string& title) = 0;
    virtual void Repaint() = 0;
    virtual void DoEvents() = 0;
    virtual void SetTopmost(bool on) = 0;
    virtual void Sleep(int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    // Opens the settings of the AC-3 decoder set-up.
    virtual void ShowAc3FilterOptions() {}
    // True once the person asked to end the program during a conversion: a batch converts no
    // further file.
    virtual bool StopRequested() const { return false; }
};

}  // namespace kestrun
