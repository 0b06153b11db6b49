#include "app/cli/cli_host.h"

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "model/form1.h"
#include "platform/tool_runner.h"

namespace kestrun {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

void CliHost::StopToolsOnInterrupt(ToolRunner& runner) {
    runner_ = &runner;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    std::signal(SIGHUP, OnInterrupt);
}

void CliHost::DoEvents() {
    if (!g_interrupted) return;
    if (runner_) runner_->StopRunningTool();
    std::cerr << "Interrupted; the intermediate files stay in the output folder." << std::endl;
    std::_Exit(130);
}

MsgResult CliHost::MsgBox(const std::string& text, const std::string& title, MsgIcon,
                          MsgButtons buttons) {
    ++messagesShown;
    std::cerr << title << ": " << text << std::endl;
    if (buttons == MsgButtons::YesNo) {
        std::cerr << "  -> " << (yesAnswer ? "Yes" : "No") << std::endl;
        return yesAnswer ? MsgResult::Yes : MsgResult::No;
    }
    return MsgResult::Ok;
}

std::string CliHost::OpenFile(const OpenFileRequest&) { return fileAnswer; }

std::string CliHost::BrowseForFolder(const std::string&) { return folderAnswer; }

void CliHost::FollowProgress(Form1& form) {
    form.txtProgress.onChange = [](const Control& c) { std::cerr << c.text() << std::endl; };
}

}  // namespace kestrun
