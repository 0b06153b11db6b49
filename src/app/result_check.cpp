#include "app/result_check.h"

#include <algorithm>

#include "analysis/media_probe.h"
#include "analysis/result_verification.h"
#include "model/context.h"
#include "model/messages.h"

namespace kestrun {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

Console ChosenConsole(const Form1& f) {
    switch (f.cmbPlatform.selectedIndex()) {
        case 1:
            return Console::Xbox360;
        case 2:
            return Console::Ps3Stereo;
        default:
            return Console::Ps3;
    }
}

}  // namespace

void VerifyFinishedOutput(Context& ctx) {
    ctx.finishedOutputPlays.reset();
    const std::string result = ctx.finishedOutput;
    if (result.empty() || !EndsWith(result, ".mp4")) return;
    const Console console = ChosenConsole(ctx.form);
    std::string error;
    const auto written = ReadMediaFacts(ctx, result, &error);
    if (!written) {
        ctx.finishedOutputPlays = false;
        ctx.Log("Verification of " + result + ": " + error);
        ctx.Progress(std::string(msg::kResultUnreadable) + error);
        return;
    }
    // A source that cannot be read leaves only the durations unknown.
    const auto source = ReadMediaFacts(ctx, ctx.form.strFullname, &error);
    // The audio list shows the source's audio tracks in their order.
    const size_t audio = static_cast<size_t>(std::max(0, ctx.form.cmbAudio.selectedIndex()));
    const Verification v = VerifyResult(*written, source ? *source : MediaFacts{}, audio, console);
    ctx.finishedOutputPlays = v.plays;
    for (const auto& r : v.results)
        ctx.Log("Verification (" + std::string(ConsoleName(console)) + ") of " + result + ": " +
                StatusText(r.status) + " " + r.rule + " " + r.measured);
    const std::string line = VerificationLine(v, console);
    ctx.Progress(std::string(v.plays ? msg::kResultVerified : msg::kResultBreaksRule) + line);
}

}  // namespace kestrun
