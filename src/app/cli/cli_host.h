#pragma once
// The terminal as the person on the other side: messages and progress go to standard error,
// questions are answered by options given beforehand.
#include <string>

#include "model/host.h"

namespace kestrun {

class Form1;
class ToolRunner;

class CliHost : public Host {
public:
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) override;
    std::string OpenFile(const OpenFileRequest& request) override;
    std::string BrowseForFolder(const std::string& title) override;
    void Repaint() override {}
    // Ends the program when Ctrl-C (or a termination request) arrived: the running tool is
    // stopped and the intermediate files stay, as after any failed conversion.
    void DoEvents() override;
    void SetTopmost(bool) override {}

    // Prints every progress text of the window on its own line.
    void FollowProgress(Form1& form);
    // Catches Ctrl-C and termination requests; tools run in their own process group, so the
    // terminal's signal reaches only us and we stop the tool.
    void StopToolsOnInterrupt(ToolRunner& runner);

    std::string fileAnswer;    // what an Open dialog returns
    std::string folderAnswer;  // what a folder dialog returns
    bool yesAnswer = false;    // the answer to Yes/No questions
    int messagesShown = 0;

private:
    ToolRunner* runner_ = nullptr;
};

}  // namespace kestrun
