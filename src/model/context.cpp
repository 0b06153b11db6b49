#include "model/context.h"

#include "platform/file_api.h"
#include "platform/tool_table.h"

namespace kestrun {
namespace {

thread_local Branch* t_branch = nullptr;

}  // namespace

Branch* CurrentBranch() { return t_branch; }

BranchScope::BranchScope(Branch* branch) : previous_(t_branch) { t_branch = branch; }

BranchScope::~BranchScope() { t_branch = previous_; }

Context::Context(Host& h, std::string folder)
    : Context(h, ProgramFiles::Portable(std::move(folder))) {}

Context::Context(Host& h, ProgramFiles programFiles)
    : hostSwitch_(h),
      host(hostSwitch_),
      programFolder(programFiles.ProgramFolder()),
      files(std::move(programFiles)),
      runner(files.StatePath(tool::kToolLog)) {
    runner.SetEnvironment(files.ToolEnvironment());
    form.onRepaint = [this] { host.Repaint(); };
    runner.SetPump([this] { host.DoEvents(); });
}

void Context::Progress(const std::string& text) {
    if (Branch* branch = CurrentBranch()) {
        branch->Progress(text);
        return;
    }
    // The same text twice is still a new stage message for whoever listens.
    if (form.txtProgress.text() == text && form.txtProgress.onChange)
        form.txtProgress.onChange(form.txtProgress);
    form.txtProgress.SetText(text);
    host.Repaint();
}

void Context::Log(const std::string& text) const {
    if (Branch* branch = CurrentBranch()) {
        branch->Log(text);
        return;
    }
    AppendLine(files.StatePath(tool::kDebugLog), text);
}

void Context::Checkpoint() const {
    if (Branch* branch = CurrentBranch()) branch->Checkpoint();
}

bool Context::AwaitTurn(ToolTurn& turn, std::string_view waiting) {
    constexpr int kPollMs = 100;
    if (turn.TryTake()) return true;
    Progress(std::string(waiting));
    while (!turn.TryTake()) {
        if (host.StopRequested()) return false;
        host.DoEvents();
        host.Sleep(kPollMs);
    }
    return true;
}

}  // namespace kestrun
