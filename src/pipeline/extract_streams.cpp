// Taking streams out of the MKV with mkvextract: only what a later stage reads from the work
// folder (the muxers read some streams straight from the MKV).
#include <cstdlib>

#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

// Q mkvextract Q " tracks " Q source Q
std::string TracksCommand(const Context& ctx, const Conversion& conv) {
    return Quoted(conv.mkvextract) + " tracks " + Quoted(TrimmedSource(ctx));
}

// " " track ":" Q work file Q
std::string TrackTarget(const Context& ctx, const std::string& track, std::string_view file) {
    return " " + track + ":" + Quoted(Work(ctx, file));
}

// MPEG-4 Part 2 under its own codec ID, which mkvextract does not take out: FFmpeg copies the
// video track alone into movie.avi, under the FourCC MP4Box takes for MPEG-4 Part 2 and with the
// stream headers (Matroska keeps them apart) before each key frame.
std::string Mpeg4ToAviCommand(const Context& ctx, const Conversion& conv) {
    const long track = std::strtol(ctx.form.txtS1.text().c_str(), nullptr, 10);
    return Quoted(conv.ffmpeg) + " -i " + Quoted(TrimmedSource(ctx)) +
           " -map 0:" + std::to_string(track > 0 ? track - 1 : 0) +
           " -vcodec copy -bsf:v dump_extra -vtag XVID -f avi -y " +
           Quoted(Work(ctx, work::kMovieAvi));
}

std::string ChooseExtraction(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    const std::string& s1 = f.txtS1.text();
    const std::string& s2 = f.txtS2.text();
    const std::string audioFile = "movie." + conv.audioFormat;
    // The in-process decoder reads a track no button names from the MKV itself.
    const std::string audioTarget = DecodesInProcess(conv) ? "" : TrackTarget(ctx, s2, audioFile);
    const std::string videoAndAudio =
        TracksCommand(ctx, conv) + TrackTarget(ctx, s1, work::kMovieH264) + audioTarget;
    if (conv.audioFormat == "ogg" || f.chkFF.value() == 1 || f.chkVob.value() == 1) {
        if (f.chkVob.value() == 1 && f.chkFF.value() == 1) {
            if (conv.audioFormat == "ac3" || DecodesInProcess(conv)) return {};
            return TracksCommand(ctx, conv) + TrackTarget(ctx, s2, audioFile);
        }
        return videoAndAudio;
    }
    if (ctx.analysis.bVfwMode) {
        Run(ctx, conv,
            ctx.analysis.strVideoCodec == "mpeg4"
                ? Mpeg4ToAviCommand(ctx, conv)
                : TracksCommand(ctx, conv) + TrackTarget(ctx, s1, work::kMovieAvi));
        return Quoted(conv.mp4box) + " -aviraw video " + Quoted(Work(ctx, work::kMovieAvi));
    }
    if (conv.audioFormat == "aac" && !f.b360) return videoAndAudio;
    return TracksCommand(ctx, conv) + TrackTarget(ctx, s1, work::kMovieH264);
}

bool WrittenNotEmpty(const std::string& path) {
    const std::int64_t size = FileSizeForOutput(path);
    return size > 0 && size != kInvalidFileSize;
}

}  // namespace

bool ExtractionTakesAudio(const Context& ctx, const Conversion& conv) {
    const Form1& f = ctx.form;
    if (ReencodesVideo(f) || f.chkAVCHD.value() == 1) return false;
    if (conv.audioFormat == "ogg" || f.chkFF.value() == 1 || f.chkVob.value() == 1)
        return !(f.chkVob.value() == 1 && f.chkFF.value() == 1 && conv.audioFormat == "ac3");
    return !ctx.analysis.bVfwMode && conv.audioFormat == "aac" && !f.b360;
}

void ExtractStreams(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    if (ReencodesVideo(f) || (f.chkAVCHD.value() == 1 && f.chkFF.value() == 1)) return;
    std::string command = ChooseExtraction(ctx, conv);
    if (f.chkAVCHD.value() == 1 && f.chkFF.value() == 0)
        command = TracksCommand(ctx, conv) + TrackTarget(ctx, f.txtS1.text(), work::kMovieRawH264);
    conv.lastCommand = command;
    if (!command.empty()) ctx.runner.RunWait(command, ctx.Priority());
}

std::string SubtitlePiece(Context& ctx, std::string* format) {
    const Form1& f = ctx.form;
    if (f.chkSubs.value() != 1 || f.lblSRTFound.visible || !f.strSubBrowse.empty()) return {};
    const int row = f.cmbSubs.selectedIndex();
    // No row chosen: there is no track to take, so no piece.
    if (row < 0 || row >= kTrackTableRows) return {};
    const TrackRow& track = ctx.analysis.strSubTracks[row];
    if (track.track.empty()) return {};
    const long number = std::strtol(track.track.c_str(), nullptr, 10);
    if (format) *format = track.format;
    return " " + std::to_string(number) + ":" + Quoted(Work(ctx, "movie." + track.format));
}

void RunVc1Chain(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    const std::string_view video = ctx.analysis.bVfwMode ? work::kMovieAvi : work::kMovieWvc1;
    Run(ctx, conv, TracksCommand(ctx, conv) + TrackTarget(ctx, f.txtS1.text(), video));
    if (ctx.analysis.bVfwMode)
        Run(ctx, conv,
            Quoted(conv.mp4box) + " -aviraw video " + Quoted(Work(ctx, work::kMovieAvi)));
    DecodeAc3ToWav(ctx, conv);
    Run(ctx, conv,
        Quoted(conv.ffmpeg) + " -i " + Quoted(Work(ctx, work::kMovieWav)) +
            " -acodec wmav2 -ab 192000 -ac 2 " + Quoted(Work(ctx, work::kMovieWma)));
    // The driver cleared both names before the chain, so only this run can have written them.
    if (!WrittenNotEmpty(Work(ctx, video)) || !WrittenNotEmpty(Work(ctx, work::kMovieWma))) {
        ctx.Progress(std::string(msg::kConversionErrorRecode));
        Report(ctx, std::string(msg::kVc1Error), std::string(msg::kVc1ErrorTitle));
        return;
    }
    CleanupAfterVc1(ctx);
    // The streams the chain leaves go into the output folder; movie.wma goes as its result.
    if (!ctx.workFolder.empty())
        for (std::string_view name : {video, work::kMovieVideoH264, work::kMovieVideoCmp})
            if (FileFound(Work(ctx, name)) && PublishResult(ctx, Work(ctx, name)).empty()) return;
    ctx.Progress(std::string(msg::kConversionDoneVc1));
    ctx.finishedOutput = Work(ctx, work::kMovieWma);
}

}  // namespace kestrun
