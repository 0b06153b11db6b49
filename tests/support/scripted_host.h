#pragma once
// A Host for tests: answers dialogs from queues given beforehand and records what it was shown.
#include <deque>
#include <string>
#include <vector>

#include "model/host.h"

namespace kestrun::test {

struct ShownMessage {
    std::string text;
    std::string title;
    MsgIcon icon;
    MsgButtons buttons;
};

class ScriptedHost : public Host {
public:
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) override;
    std::string OpenFile(const OpenFileRequest& request) override;
    std::string BrowseForFolder(const std::string& title) override;
    void Repaint() override { ++repaints; }
    void DoEvents() override { ++pumps; }
    void SetTopmost(bool on) override { topmost.push_back(on); }
    void Sleep(int) override {}
    void ShowAc3FilterOptions() override { ++decoderOptionsShown; }

    std::deque<std::string> fileAnswers;    // "" = cancel
    std::deque<std::string> folderAnswers;  // "" = cancel
    std::deque<MsgResult> questionAnswers;  // for Yes/No boxes; No when empty

    std::vector<ShownMessage> messages;
    std::vector<OpenFileRequest> fileRequests;
    std::vector<std::string> folderTitles;
    std::vector<bool> topmost;
    int repaints = 0;
    int pumps = 0;
    int decoderOptionsShown = 0;
};

}  // namespace kestrun::test
