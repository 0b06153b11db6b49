// Re-encodes take many minutes: the encoder's "Pos: ... (NN%) ... Trem: N min" lines are shown
// after the stage's progress text while it runs.
#include <cstdlib>

#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/recode.h"
#include "platform/file_api.h"

namespace kestrun {
namespace {

// Puts the listener on the runner for one run and takes it off again.
class ListeningRun {
public:
    ListeningRun(ToolRunner& runner, ToolRunner::OutputListener listener) : runner_(runner) {
        runner_.SetOutputListener(std::move(listener));
    }
    ~ListeningRun() { runner_.SetOutputListener(nullptr); }

private:
    ToolRunner& runner_;
};

}  // namespace

std::string EncoderProgressSuffix(std::string_view line) {
    if (line.substr(0, 4) != "Pos:") return {};
    const size_t open = line.find('(');
    const size_t percentSign = line.find("%)", open);
    const size_t left = line.find("Trem:");
    if (open == std::string_view::npos || percentSign == std::string_view::npos) return {};
    const std::string percent(line.substr(open + 1, percentSign - open - 1));
    std::string text =
        " " + std::to_string(std::atoi(percent.c_str())) + std::string(msg::kPercentSuffix);
    const long minutes =
        left == std::string_view::npos ? 0 : std::atol(std::string(line.substr(left + 5)).c_str());
    return text + std::to_string(minutes) + std::string(msg::kMinutesLeftSuffix);
}

int RunEncoder(Context& ctx, Conversion& conv, const std::string& commandLine,
               std::string_view stageText) {
    std::string shown;
    ListeningRun listening(ctx.runner, [&](std::string_view line) {
        const std::string suffix = EncoderProgressSuffix(line);
        if (suffix.empty() || suffix == shown) return;
        shown = suffix;
        ctx.Progress(std::string(stageText) + suffix);
    });
    const int code = Run(ctx, conv, commandLine);
    if (!shown.empty()) ctx.Progress(std::string(stageText));
    return code;
}

bool FinishWithOutput(Context& ctx, const std::string& output, std::string_view doneText) {
    const std::int64_t size = FileSizeForOutput(output);
    if (size > 0 && size != kInvalidFileSize) {
        ctx.finishedOutput = output;
        ctx.Progress(std::string(doneText));
        return true;
    }
    ctx.Progress(std::string(msg::kConversionErrorRecode));
    Report(ctx,
           std::string(msg::kOutputMissingHead) + output + std::string(msg::kOutputMissingTail),
           std::string(msg::kEncodingErrorTitle));
    return false;
}

}  // namespace kestrun
