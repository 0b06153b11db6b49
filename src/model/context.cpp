#include "model/context.h"

#include "platform/file_api.h"
#include "platform/tool_table.h"

namespace kestrun {

Context::Context(Host& h, std::string folder)
    : host(h),
      programFolder(std::move(folder)),
      runner(programFolder + std::string(tool::kToolLog)) {
    form.onRepaint = [this] { host.Repaint(); };
    runner.SetPump([this] { host.DoEvents(); });
}

void Context::Progress(const std::string& text) {
    // The same text twice is still a new stage message for whoever listens.
    if (form.txtProgress.text() == text && form.txtProgress.onChange)
        form.txtProgress.onChange(form.txtProgress);
    form.txtProgress.SetText(text);
    host.Repaint();
}

void Context::Log(const std::string& text) const {
    AppendLine(programFolder + std::string(tool::kDebugLog), text);
}

}  // namespace kestrun
