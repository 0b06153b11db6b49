#include "app/cli/cli_host.h"

#include <iostream>

#include "app/model/form1.h"

namespace kestrun {

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
