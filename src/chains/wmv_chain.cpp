// A WMV source (VC-1 video, WMA audio) to an AVCHD structure without re-encoding the video:
// asf2vc1 copies the VC-1 stream out, the WMA is decoded in-process and encoded to AC-3 by
// aften, and tsMuxeR writes the structure named after the source. Each step's file is checked
// before the next starts, so a source that cannot be converted (video that is not VC-1) stops at
// the step that refuses it, with a message, instead of running the rest for nothing.
#include <fstream>

#include "analysis/media_probe.h"
#include "chains/source_chains.h"
#include "decoder/audio_decoder.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/result_names.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

constexpr const char* kWmvMuxOptions =
    "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 "
    "--split-size=4GB --vbv-len=500";

bool Written(const std::string& path) {
    const std::int64_t size = FileSizeForOutput(path);
    return size > 0 && size != kInvalidFileSize;
}

// A step whose file is missing ends the chain with the message the muxing chains give.
bool Check(Context& ctx, const std::string& path) {
    if (Written(path)) return true;
    ctx.Progress(std::string(msg::kConversionErrorMp4));
    Report(ctx, std::string(msg::kNotCreatedHead) + path + std::string(msg::kNotCreatedTail),
           std::string(msg::kInfoTitle));
    return false;
}

void Step(Context& ctx, std::string_view text) {
    ctx.Progress(std::string(text));
    ctx.host.Repaint();
}

}  // namespace

void ExtractVc1(Context& ctx, Conversion& conv, const std::string& source) {
    Run(ctx, conv,
        Quoted(ctx.ToolPath(tool::kAsf2Vc1)) + " " + Quoted(source) + " " +
            Quoted(Work(ctx, work::kMovieVc1)));
}

void EncodeWavToAc3(Context& ctx, Conversion& conv) {
    Run(ctx, conv,
        Quoted(ctx.ToolPath(tool::kAften)) + " " + Quoted(Work(ctx, work::kMovieWav)) + " -b 640 " +
            Quoted(Work(ctx, work::kMovieAc3)));
    DeleteWork(ctx, work::kMovieWav);
}

std::vector<std::string> WmvMetaLines(const Context& ctx) {
    return {kWmvMuxOptions, "V_MS/VFW/WVC1, " + Quoted(Work(ctx, work::kMovieVc1)) + ", fps=23.976",
            "A_AC3, " + Quoted(Work(ctx, work::kMovieAc3))};
}

void MuxWmvAvchd(Context& ctx, Conversion& conv, const std::string& baseName) {
    {
        std::ofstream meta(Work(ctx, work::kMovieMeta), std::ios::binary | std::ios::trunc);
        for (const std::string& line : WmvMetaLines(ctx)) meta << line << "\r\n";
    }
    Run(ctx, conv,
        Quoted(ctx.ToolPath(tool::kTsMuxer)) + " " + Quoted(Work(ctx, work::kMovieMeta)) + " " +
            Quoted(WorkResult(ctx, ResultName(ResultKind::AvchdFolder, baseName))));
}

bool RefuseWmvSource(Context& ctx) {
    const Form1& f = ctx.form;
    std::string reason;
    if (ReencodesVideo(f)) {
        reason = msg::kWmvNoRecode;
    } else if (f.chkAVCHD.value() != 1) {
        reason = msg::kWmvAvchdOnly;
    } else {
        // A file FFmpeg cannot read is left to the chain's first step, which says so.
        std::string error;
        const auto facts = ReadMediaFacts(ctx, f.strFullname, &error);
        if (facts && !facts->video) {
            reason = std::string(msg::kNoVideoTrack) + ".";
        } else if (facts && facts->video->codecName != "vc1") {
            reason = std::string(msg::kWmvVideoHead) + facts->video->codecName +
                     std::string(msg::kWmvVideoTail);
        }
    }
    if (reason.empty()) return false;
    Report(ctx, std::string(msg::kWmvRefused) + reason, std::string(msg::kSourceErrorTitle));
    return true;
}

void ConvertWmv(Context& ctx) {
    Form1& f = ctx.form;
    ctx.host.SetTopmost(false);
    ctx.finishedOutput.clear();
    const std::string source = f.strFullname;
    const std::string name = FileNameOf(source);
    // Four characters (the extension) are cut; a shorter name leaves nothing to name the result.
    if (name.size() <= 4) {
        Report(ctx, std::string(msg::kNoBaseName) + source, std::string(msg::kSourceErrorTitle));
        return;
    }
    const std::string baseName = ResultBaseName(source);
    const std::string folderName = ResultName(ResultKind::AvchdFolder, baseName);
    if (RefuseResultName(ctx, folderName, work::kPartialSuffix, msg::kAppTitle)) return;
    const std::string folder = WorkResult(ctx, folderName);
    Conversion conv;
    Step(ctx, msg::kExtractingVc1);
    ExtractVc1(ctx, conv, source);
    if (!Check(ctx, Work(ctx, work::kMovieVc1))) return;

    Step(ctx, msg::kExtractingAudioData);
    DecodeCallbacks callbacks;
    callbacks.progress = [&ctx](std::int64_t bytes) { ctx.Progress(WavProgressText(bytes)); };
    callbacks.pump = [&ctx] { ctx.host.DoEvents(); };
    const DecodeResult decoded = DecodeWmaToWav(source, ctx.WorkPath(""), callbacks);
    if (!decoded.ok) ctx.Log(decoded.error);
    if (!Check(ctx, Work(ctx, work::kMovieWav))) return;

    Step(ctx, msg::kConvertingToAc3);
    EncodeWavToAc3(ctx, conv);
    if (!Check(ctx, Work(ctx, work::kMovieAc3))) return;

    Step(ctx, msg::kCreatingAvchdFormat);
    MuxWmvAvchd(ctx, conv, baseName);
    if (!Check(ctx, folder + "/BDMV/STREAM/00000.m2ts")) return;
    CleanupAfterVc1(ctx);
    ctx.finishedOutput = folder;
    Step(ctx, msg::kConversionDoneWmv);
}

}  // namespace kestrun
