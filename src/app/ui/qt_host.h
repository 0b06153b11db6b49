#pragma once
// The window as the person on the other side: Qt message boxes and file dialogs owned by the
// main window, repainting and event pumping while tools run, the stay-on-top switch.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "app/ui/unattended_log.h"
#include "model/host.h"

class QWidget;

namespace kestrun::ui {

class QtHost : public Host {
public:
    // decoderSettingsPath: the file that "AC3Filter Options" edits. With an active log, nothing
    // modal is shown: messages are logged and answered OK (or No), dialogs count as cancelled.
    QtHost(std::string decoderSettingsPath, UnattendedLog log);

    // The window that owns the dialogs; `render` brings its widgets up to the model, `pumped`
    // is told every time events are let through while the program works.
    void Attach(QWidget* window, std::function<void()> render, std::function<void()> pumped);

    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) override;
    std::string OpenFile(const OpenFileRequest& request) override;
    std::string BrowseForFolder(const std::string& title) override;
    void Repaint() override;
    void DoEvents() override;
    void SetTopmost(bool on) override;
    // The stages' pauses keep the window painted.
    void Sleep(int milliseconds) override;
    void ShowAc3FilterOptions() override;
    bool StopRequested() const override { return stopRequested_; }

    // The person closes the window during a conversion: from now on nothing more is asked.
    void RequestStop() { stopRequested_ = true; }

private:
    std::string decoderSettingsPath_;
    UnattendedLog log_;
    QWidget* window_ = nullptr;
    std::function<void()> render_;
    std::function<void()> pumped_;
    bool stopRequested_ = false;
};

// "*.MKV" as a pattern that also finds "film.mkv" and "Film.Mkv" on a case-sensitive system.
QString CaseInsensitivePattern(const std::string& pattern);
// The Qt name filters of an Open dialog: "mkv Files (*.mkv) (*.[mM][kK][vV])"; the dialog hides
// the last parenthesis, so a person sees the name as given.
QStringList NameFilters(const std::vector<FileFilter>& filters);

}  // namespace kestrun::ui
