#include "app/result_check.h"

#include <algorithm>

#include "analysis/media_probe.h"
#include "analysis/result_files.h"
#include "analysis/result_integrity.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "platform/tool_runner.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

// The VC-1 chain leaves its streams in the work folder for the user to mux: nothing a console
// plays, so nothing to judge.
bool LeftForTheUser(const std::string& result) { return FileNameOf(result) == work::kMovieWma; }

// The Xvid chain cuts its AVI into pieces when splitting or fitting to a DVD.
bool SplitsAvi(const Form1& f) { return f.Check1.value() == 1 || f.chkDVD.value() == 1; }

// Whether the conversion copied the source's video: a WMV's VC-1 always; an AVI's unless it uses
// GMC or QPel (which are re-encoded); an MKV's unless the window re-encodes.
bool VideoCopied(const Form1& f, const MediaFacts& source) {
    if (!source.video) return false;
    switch (source.container) {
        case Container::Asf:
            return true;
        case Container::Avi:
            return !source.video->gmc.value_or(true) && !source.video->qpel.value_or(true);
        default:
            return !ReencodesVideo(f);
    }
}

// Every file of the result read back; one that cannot be read is a failed rule, except when it
// is the whole result, which is then unreadable.
std::optional<WrittenResult> ReadResult(Context& ctx, const ResultFiles& files,
                                        std::string* error) {
    WrittenResult written;
    written.kind = files.kind;
    written.layout = files.layout;
    for (const std::string& file : files.files) {
        std::string problem;
        if (auto facts = ReadMediaFacts(ctx, file, &problem)) {
            written.pieces.push_back(std::move(*facts));
        } else if (files.files.size() == 1 && files.kind == Target::AsIs) {
            *error = problem;
            return std::nullopt;
        } else {
            written.layout.push_back(
                {"readable", RuleStatus::Fail, FileNameOf(file) + ": " + problem, Fix::None});
        }
    }
    return written;
}

}  // namespace

Console ChosenConsole(const Form1& f) {
    switch (f.cmbPlatform.selectedIndex()) {
        case 0:
            return Console::Ps3;
        case 2:
            return Console::Ps3Stereo;
        default:
            return Console::Xbox360;
    }
}

bool NoTargetChosen(const Form1& f) {
    const int platform = f.cmbPlatform.selectedIndex();
    return platform < 0 || platform >= f.cmbPlatform.ListCount();
}

ResultCheck CheckResultAt(Context& ctx, const std::string& result, const std::string& source,
                          size_t sourceAudio, Console console) {
    ResultCheck check;
    if (LeftForTheUser(result)) {
        check.readable = true;
        return check;
    }
    const auto written =
        ReadResult(ctx, FindResultFiles(result, SplitsAvi(ctx.form)), &check.error);
    if (!written) return check;
    check.readable = true;
    // A source that cannot be read leaves only the durations and the frame count unknown.
    std::string sourceError;
    MediaFacts sourceFacts = ReadMediaFacts(ctx, source, &sourceError).value_or(MediaFacts{});
    // A source cut short holds less than its headers promise: the result is held to what is
    // there.
    const bool cutShort = CutShort(sourceFacts) && MeasureWhatItHolds(sourceFacts);
    const ResultSource from{.facts = sourceFacts,
                            .audio = sourceAudio,
                            .videoCopied = VideoCopied(ctx.form, sourceFacts),
                            .fps25 = ctx.form.chk25.value() == 1,
                            .sourceCutShort = cutShort};
    check.verification = VerifyResult(*written, from, console);
    // The rules read headers only, and an MP4 holds its headers before its samples: one cut short
    // after them (an interrupted run, a full disk) would pass for whole.
    if (const std::string cut = CutShortProblem(result); !cut.empty()) {
        check.verification.results.insert(
            check.verification.results.begin(),
            {"file", RuleStatus::Fail, std::string(msg::kCutShort) + cut, Fix::None});
        check.verification.plays = false;
    }
    return check;
}

void VerifyFinishedOutput(Context& ctx) {
    const std::string result = ctx.finishedOutput;
    if (result.empty() || LeftForTheUser(result) || result == ctx.verifiedOutput) return;
    ctx.verifiedOutput = result;
    const Console console = ChosenConsole(ctx.form);
    // The audio list shows the source's audio tracks in their order.
    const size_t audio = static_cast<size_t>(std::max(0, ctx.form.cmbAudio.selectedIndex()));
    const ResultCheck check = CheckResultAt(ctx, result, ctx.form.strFullname, audio, console);
    if (!check.readable) {
        ctx.finishedOutputPlays = false;  // and stays so for the pieces after
        ctx.Log("Verification of " + result + ": " + check.error);
        ctx.Progress(std::string(msg::kResultUnreadable) + check.error);
        return;
    }
    const Verification& v = check.verification;
    ctx.finishedOutputPlays = ctx.finishedOutputPlays.value_or(true) && v.plays;
    for (const auto& r : v.results)
        ctx.Log("Verification (" + std::string(ConsoleName(console)) + ") of " + result + ": " +
                StatusText(r.status) + " " + r.rule + " " + r.measured);
    const std::string line = VerificationLine(v, console);
    ctx.Progress(std::string(v.plays ? msg::kResultVerified : msg::kResultBreaksRule) + line);
}

}  // namespace kestrun
