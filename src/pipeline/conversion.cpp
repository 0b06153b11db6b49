#include "pipeline/conversion.h"

#include <cstdio>
#include <cstdlib>

#include "model/context.h"
#include "platform/file_api.h"
#include "platform/tool_runner.h"

namespace kestrun {

bool ReencodesVideo(const Form1& form) {
    const int format = form.cmdConv.selectedIndex();
    return form.chkMP2.value() == 1 && format >= 0 && format <= 2;
}

bool ChosenTrackDecodedInProcess(const Context& ctx) {
    const std::string& track = ctx.form.txtS2.text();
    if (track.empty()) return false;
    for (const TrackRow& row : ctx.analysis.strAudioTracks)
        if (row.track == track) return row.format == kDecodedAudioFormat;
    return false;
}

bool DecodesInProcess(const Conversion& conv) { return conv.audioFormat == kDecodedAudioFormat; }

std::string Work(const Context& ctx, std::string_view name) { return ctx.WorkPath(name); }

std::string WorkAudio(const Context& ctx, const Conversion& conv) {
    return ctx.WorkPath("movie." + conv.audioFormat);
}

std::string TrimmedSource(const Context& ctx) {
    const std::string& s = ctx.form.strFullname;
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::int64_t AudioDelayMs(const Context& ctx, const std::string& videoTrack,
                          const std::string& audioTrack) {
    const auto& starts = ctx.analysis.trackStartMs;
    const auto number = [](const std::string& text) { return std::atoi(text.c_str()); };
    const auto video = starts.find(number(videoTrack));
    const auto audio = starts.find(number(audioTrack));
    if (video == starts.end() || audio == starts.end()) return 0;
    return audio->second - video->second;
}

bool FrameRateKnown(const std::string& fps) {
    char* end = nullptr;
    const double value = std::strtod(fps.c_str(), &end);
    return !fps.empty() && end == fps.c_str() + fps.size() && value > 0;
}

int Run(Context& ctx, Conversion& conv, const std::string& commandLine) {
    conv.lastCommand = commandLine;
    ctx.Checkpoint();
    const int exitCode = ctx.runner.RunWait(commandLine, ctx.Priority());
    // A sequence stopped meanwhile goes no further: what the tool left stays as it is.
    ctx.Checkpoint();
    return exitCode;
}

void DeleteWork(const Context& ctx, std::string_view name) {
    DeleteFileNoForce(ctx.WorkPath(name));
}

void RenameWork(const Context& ctx, std::string_view from, std::string_view to) {
    const std::string source = ctx.WorkPath(from), target = ctx.WorkPath(to);
    if (!FileFound(source) || FileExists(target)) return;
    std::rename(source.c_str(), target.c_str());
}

void EndSteps(Context& ctx) {
    ctx.form.strSubBrowse.clear();
    ctx.host.SetTopmost(true);
}

void Report(Context& ctx, const std::string& text, const std::string& title) {
    if (ctx.analysis.bBatchMode || ctx.analysis.bCmdLineMode) {
        ctx.Progress(title + ": " + text);
        ctx.Log(title + ": " + text);
        return;
    }
    ShowError(ctx, text, title);
}

void ShowError(Context& ctx, const std::string& text, const std::string& title) {
    ctx.host.MsgBox(text, title, MsgIcon::Critical, MsgButtons::Ok);
}

}  // namespace kestrun
