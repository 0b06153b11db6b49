// Joining video and AAC audio into the final MP4 with MP4Box, checking that it was written and
// removing the intermediate files.
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/result_names.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/tool_runner.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

// The raw stream MP4Box took out of a VFW-mode track's AVI: H.264, or MPEG-4 Part 2, which the
// consoles play in an MP4 as well.
std::string_view VfwRawVideo(const Context& ctx) {
    if (!FileFound(Work(ctx, work::kMovieVideoH264)) && FileFound(Work(ctx, work::kMovieVideoCmp)))
        return work::kMovieVideoCmp;
    return work::kMovieVideoH264;
}

std::string Mp4BoxCommand(const Context& ctx, const Conversion& conv, const std::string& mp4Out) {
    const std::string work = ctx.WorkPath("");
    const std::string workNoSlash = work.empty() ? work : work.substr(0, work.size() - 1);
    const std::string& par = ctx.analysis.strParOpt;
    const std::string tail = " " + Quoted(mp4Out) + " -tmp " + Quoted(workNoSlash);
    // Without a known rate MP4Box takes the one the stream declares.
    const bool known = FrameRateKnown(conv.fps);
    // MP4Box's own piece for a track that starts later (or earlier) than the video.
    const std::string aac =
        Work(ctx, work::kMovieAac) +
        (conv.audioDelayMs != 0 ? ":delay=" + std::to_string(conv.audioDelayMs) : std::string());
    // A VFW-mode track re-encoded to H.264 is in movie.h264 like any other re-encode.
    const bool vfwCopy = ctx.analysis.bVfwMode && !conv.h264Recode;
    const std::string video = Work(ctx, vfwCopy ? VfwRawVideo(ctx) : work::kMovieH264);
    // The video goes alone into the file the Nero encoder wrote only when it really wrote it;
    // otherwise the AAC stream is added with the video so that the sound is never lost.
    if (conv.neroWroteMp4) {
        const char* fps = vfwCopy ? " -fps " : "  -fps ";
        return Quoted(conv.mp4box) + (known ? fps + conv.fps : std::string()) + " -add " +
               Quoted(video + par) + tail;
    }
    if (vfwCopy)
        return Quoted(conv.mp4box) + " -add " + Quoted(aac) +
               (known ? " -fps " + conv.fps : std::string()) + " -add " + Quoted(video + par) +
               tail;
    return Quoted(conv.mp4box) + " -add " + Quoted(aac) + " -add " +
           Quoted(video + (known ? ":fps=" + conv.fps : std::string()) + par) + tail;
}

}  // namespace

std::string Mp4OutputPath(const Context& ctx, const Conversion& conv) {
    return WorkResult(ctx, ResultName(ResultKind::Mp4, conv.baseName));
}

void MuxMp4(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    ctx.Progress(std::string(msg::kCreatingMp4));
    ctx.host.DoEvents();
    const std::string mp4Out = Mp4OutputPath(ctx, conv);
    const std::string command = Mp4BoxCommand(ctx, conv, mp4Out);
    // The Nero file already holds the audio: only a file that grew has the video added.
    const std::int64_t sizeBefore = conv.neroWroteMp4 ? FileSizeForOutput(mp4Out) : 0;
    Run(ctx, conv, command);
    ctx.Log(command);

    // The runner has waited for MP4Box: its file is complete, and no pause is needed before the
    // size check.
    ctx.Progress(std::string(msg::kCleaning));
    ctx.host.DoEvents();
    const std::int64_t size = FileSizeForOutput(mp4Out);
    if (size > sizeBefore && size != kInvalidFileSize) {
        CleanupAfterMp4(ctx);
        f.strSubBrowse.clear();
        ctx.finishedOutput = mp4Out;
        ctx.Progress(std::string(msg::kConversionDone));
        f.cmbSubs.visible = false;
        f.lblSRTFound.visible = false;
        ctx.host.Repaint();
        EndSteps(ctx);
        return;
    }
    ctx.Progress(std::string(msg::kConversionErrorMp4));
    ShowError(ctx, std::string(msg::kMp4ErrorHead) + mp4Out + std::string(msg::kMp4ErrorTail),
              std::string(msg::kMp4ErrorTitle));
}

}  // namespace kestrun
