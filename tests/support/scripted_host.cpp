#include "support/scripted_host.h"

namespace kestrun::test {
namespace {

template <typename T>
T Next(std::deque<T>& queue, T fallback) {
    if (queue.empty()) return fallback;
    T value = queue.front();
    queue.pop_front();
    return value;
}

}  // namespace

MsgResult ScriptedHost::MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                               MsgButtons buttons) {
    messages.push_back({text, title, icon, buttons});
    if (buttons == MsgButtons::YesNo) return Next(questionAnswers, MsgResult::No);
    return MsgResult::Ok;
}

std::string ScriptedHost::OpenFile(const OpenFileRequest& request) {
    fileRequests.push_back(request);
    return Next(fileAnswers, std::string());
}

std::string ScriptedHost::BrowseForFolder(const std::string& title) {
    folderTitles.push_back(title);
    return Next(folderAnswers, std::string());
}

}  // namespace kestrun::test
