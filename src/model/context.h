#pragma once
// Everything one running program shares: the window model, the analysis of the current source,
// the person on the other side (Host), the program folder and the tool runner. Handlers and
// conversion stages take it by reference.
#include <functional>
#include <optional>
#include <string>

#include "model/analysis_state.h"
#include "model/form1.h"
#include "model/host.h"
#include "platform/program_folder.h"
#include "platform/tool_runner.h"
#include "platform/work_folder_lock.h"

namespace kestrun {

// One of two stage sequences that run side by side (pipeline/side_by_side.h). While a thread runs
// one, everything its stages show a person or write to the log goes through it instead of
// straight to the window, and it can stop the sequence between two steps.
class Branch : public Host {
public:
    virtual void Progress(const std::string& text) = 0;
    virtual void Log(const std::string& text) = 0;
    // Throws when the sequence is to go no further (the other one failed, or a person cancelled).
    virtual void Checkpoint() = 0;
};

// The branch the calling thread runs, or null.
Branch* CurrentBranch();

// Makes `branch` the calling thread's branch while the scope lasts (null: none, so that the window
// is reached directly).
class BranchScope {
public:
    explicit BranchScope(Branch* branch);
    ~BranchScope();
    BranchScope(const BranchScope&) = delete;
    BranchScope& operator=(const BranchScope&) = delete;

private:
    Branch* previous_;
};

struct Context {
private:
    // The host the stages see: the calling thread's branch when it runs one, else the window's.
    class HostSwitch : public Host {
    public:
        explicit HostSwitch(Host& host) : host_(host) {}
        MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override {
            return Target().MsgBox(text, title, icon, buttons);
        }
        std::string OpenFile(const OpenFileRequest& request) override {
            return Target().OpenFile(request);
        }
        std::string BrowseForFolder(const std::string& title) override {
            return Target().BrowseForFolder(title);
        }
        void Repaint() override { Target().Repaint(); }
        void DoEvents() override { Target().DoEvents(); }
        void SetTopmost(bool on) override { Target().SetTopmost(on); }
        void Sleep(int milliseconds) override { Target().Sleep(milliseconds); }
        void ShowAc3FilterOptions() override { Target().ShowAc3FilterOptions(); }
        bool StopRequested() const override { return Target().StopRequested(); }

    private:
        Host& Target() const {
            Branch* branch = CurrentBranch();
            return branch ? *branch : host_;
        }
        Host& host_;
    };
    HostSwitch hostSwitch_;

public:
    // Everything in the program folder, as in a build.
    Context(Host& host, std::string programFolder);
    Context(Host& host, ProgramFiles files);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Analysis analysis;
    Form1 form{analysis};
    // The window's host; on the thread of a branch, that branch.
    Host& host;
    std::string programFolder;  // no trailing separator
    // Where the settings file, the logs and the tools' working files lie.
    ProgramFiles files;
    ToolRunner runner;

    // The final file of the last conversion that reached its success text; empty otherwise.
    std::string finishedOutput;
    // Whether finishedOutput passed the console rules after the conversion; unset when it was
    // not checked.
    std::optional<bool> finishedOutputPlays;
    // The result verified last in the conversion under way, and how deep Convert is nested in it:
    // the pieces of a split source are converted, and verified, inside their source's Convert.
    std::string verifiedOutput;
    int convertDepth = 0;

    // Whether Convert saves the settings file (the window); the command line never writes it.
    bool saveSettings = true;

    // A conversion holds the work folder's lock (the pieces of a split source run inside it).
    bool workFolderLocked = false;

    // Convert, as the batch loops and the piece loop of a split source call it again.
    std::function<void()> command2Click;

    // programFolder followed by a sub-path of the tool table.
    std::string ToolPath(std::string_view subPath) const {
        return programFolder + std::string(subPath);
    }
    // The private work folder of the conversion under way (ending with '/'), made inside the
    // output folder for it; empty outside a conversion.
    std::string workFolder;
    // The work folder followed by an intermediate file name; the output folder itself while no
    // conversion has a work folder of its own.
    std::string WorkPath(std::string_view name) const {
        return (workFolder.empty() ? form.txtTMP.text() : workFolder) + std::string(name);
    }
    // The output folder (txtTMP's text) followed by a result's name.
    std::string OutputPath(std::string_view name) const {
        return form.txtTMP.text() + std::string(name);
    }
    // Priority index for RunWait: the selection of cmbPrio.
    int Priority() const { return form.cmbPrio.selectedIndex(); }

    // Shows a text in the progress line and repaints.
    void Progress(const std::string& text);
    // Appends one entry to debug.log.
    void Log(const std::string& text) const;
    // Between two steps of a stage: throws when the calling thread's branch is to go no further.
    void Checkpoint() const;
    // Takes `turn`, first showing `waiting` and keeping the window alive while another
    // conversion holds it; false when a person cancelled meanwhile.
    bool AwaitTurn(ToolTurn& turn, std::string_view waiting);
};

}  // namespace kestrun
