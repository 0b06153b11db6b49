#pragma once
// A person who answers nothing, for the harnesses of readers that work on the window model.
#include "model/host.h"

namespace kestrun::fuzz {

class QuietHost : public Host {
public:
    MsgResult MsgBox(const std::string&, const std::string&, MsgIcon, MsgButtons) override {
        return MsgResult::No;
    }
    std::string OpenFile(const OpenFileRequest&) override { return {}; }
    std::string BrowseForFolder(const std::string&) override { return {}; }
    void Repaint() override {}
    void DoEvents() override {}
    void SetTopmost(bool) override {}
    void Sleep(int) override {}
};

}  // namespace kestrun::fuzz
