#include "app/result_check.h"

#include <algorithm>

#include "analysis/media_probe.h"
#include "model/context.h"
#include "model/messages.h"

namespace kestrun {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

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

ResultCheck CheckResultAt(Context& ctx, const std::string& result, const std::string& source,
                          size_t sourceAudio, Console console) {
    ResultCheck check;
    if (!EndsWith(result, ".mp4")) {
        check.readable = true;
        return check;
    }
    const auto written = ReadMediaFacts(ctx, result, &check.error);
    if (!written) return check;
    check.readable = true;
    // A source that cannot be read leaves only the durations unknown.
    std::string sourceError;
    const auto sourceFacts = ReadMediaFacts(ctx, source, &sourceError);
    check.verification =
        VerifyResult(*written, sourceFacts ? *sourceFacts : MediaFacts{}, sourceAudio, console);
    return check;
}

void VerifyFinishedOutput(Context& ctx) {
    ctx.finishedOutputPlays.reset();
    const std::string result = ctx.finishedOutput;
    if (result.empty() || !EndsWith(result, ".mp4")) return;
    const Console console = ChosenConsole(ctx.form);
    // The audio list shows the source's audio tracks in their order.
    const size_t audio = static_cast<size_t>(std::max(0, ctx.form.cmbAudio.selectedIndex()));
    const ResultCheck check = CheckResultAt(ctx, result, ctx.form.strFullname, audio, console);
    if (!check.readable) {
        ctx.finishedOutputPlays = false;
        ctx.Log("Verification of " + result + ": " + check.error);
        ctx.Progress(std::string(msg::kResultUnreadable) + check.error);
        return;
    }
    const Verification& v = check.verification;
    ctx.finishedOutputPlays = v.plays;
    for (const auto& r : v.results)
        ctx.Log("Verification (" + std::string(ConsoleName(console)) + ") of " + result + ": " +
                StatusText(r.status) + " " + r.rule + " " + r.measured);
    const std::string line = VerificationLine(v, console);
    ctx.Progress(std::string(v.plays ? msg::kResultVerified : msg::kResultBreaksRule) + line);
}

}  // namespace kestrun
