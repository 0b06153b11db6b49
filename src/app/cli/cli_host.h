#pragma once
// The terminal as the person on the other side: messages and progress go to standard error,
// questions are answered by options given beforehand.
#include <string>

#include "app/model/host.h"

namespace kestrun {

class Form1;

class CliHost : public Host {
public:
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) override;
    std::string OpenFile(const OpenFileRequest& request) override;
    std::string BrowseForFolder(const std::string& title) override;
    void Repaint() override {}
    void DoEvents() override {}
    void SetTopmost(bool) override {}

    // Prints every progress text of the window on its own line.
    void FollowProgress(Form1& form);

    std::string fileAnswer;          // what an Open dialog returns
    std::string folderAnswer;        // what a folder dialog returns
    bool yesAnswer = false;          // the answer to Yes/No questions
    int messagesShown = 0;
};

}  // namespace kestrun
