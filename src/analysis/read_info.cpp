#include "analysis/read_info.h"

#include <cstdlib>

#include "analysis/frame_timing.h"
#include "analysis/track_report_parser.h"
#include "analysis/video_playability.h"
#include "media/stream_facts.h"
#include "media/track_starts.h"
#include "model/context.h"
#include "model/messages.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"

namespace kestrun {
namespace {

constexpr char kQuote = '"';
constexpr int kPs3 = 0, kPs3Stereo = 2;           // places in the platform list
constexpr int kRecodeMpeg2 = 0, kRecodeH264 = 1;  // places in the re-encode format list

std::string TrimSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Quoted(const std::string& text) { return kQuote + text + kQuote; }

// Warns (outside batch, command-line and split runs) and sets "MPEG2 Recode", choosing a format
// when none is chosen.
void RequireRecode(Context& ctx, const std::string& warning) {
    const bool quiet = ctx.analysis.bBatchMode || ctx.analysis.bCmdLineMode || ctx.form.bSplit;
    if (!quiet)
        ctx.host.MsgBox(warning + std::string(msg::kRecodeAdvice), std::string(msg::kAppTitle),
                        MsgIcon::None, MsgButtons::Ok);
    ctx.form.chkMP2.SetValue(1);
    // "MPEG2 Recode" without a format in the list re-encodes nothing; the stream would be muxed
    // as it is. MPEG-2 for the PS3, H.264 where the Xbox 360 (which plays no MPEG-2) may be meant.
    Form1& f = ctx.form;
    if (f.cmdConv.selectedIndex() < 0) {
        const int platform = f.cmbPlatform.selectedIndex();
        f.cmdConv.SetSelectedIndex(platform == kPs3 || platform == kPs3Stereo ? kRecodeMpeg2
                                                                              : kRecodeH264);
    }
}

std::map<int, AudioStreamInfo> AudioStreamsOf(const media::SourceStreamFacts& facts) {
    std::map<int, AudioStreamInfo> streams;
    for (const auto& [track, audio] : facts.audioByTrack)
        streams[track] = {audio.format, audio.channels, audio.decodable};
    return streams;
}

}  // namespace

bool ReadInfo(Context& ctx, const std::string& source) {
    const std::string report = ctx.files.StatePath(tool::kInfoReport);
    // Every analysis from this program folder (or of this user) writes the same report: one at a
    // time, from writing it until it has been read.
    ToolTurn turn(ctx.files.TurnFolder(tool::kMkvInfo));
    if (!ctx.AwaitTurn(turn, msg::kWaitingForAnalysis)) return false;
    // A report left behind by an interrupted run belongs to another source.
    DeleteFileNoForce(report);
    const std::string commandLine = Quoted(ctx.ToolPath(tool::kMkvInfo)) + " " +
                                    Quoted(TrimSpaces(source)) + " -o " + Quoted(report);
    ctx.runner.RunCapture(commandLine, true, false, true);
    Analysis& a = ctx.analysis;
    a.bInfoReportRead = FileExists(report);
    a.trackStartMs.clear();
    a.audioStreams.clear();
    a.strVideoRecodeReason.clear();
    a.bVariableFrameRate = false;
    media::SourceStreamFacts facts;
    if (a.bInfoReportRead) facts = media::ReadSourceStreamFacts(TrimSpaces(source));
    a.audioStreams = AudioStreamsOf(facts);
    a.chapterStartsMs = facts.chapterStartsMs;
    ParseMkvInfo(ctx);
    turn.Release();
    if (a.bInfoReportRead) a.trackStartMs = media::ReadTrackStartsMs(TrimSpaces(source));
    if (facts.video) a.strVideoRecodeReason = VideoRecodeReason(*facts.video);
    // MPEG-4 Part 2 under its own codec ID ("V_MPEG4/ISO/ASP"), which mkvextract cannot take
    // out: FFmpeg copies it into an AVI, and from there it goes the way of a VFW-mode track.
    if (facts.video && facts.video->codec == "mpeg4" && a.strVideoCodec.empty() && !a.bVfwMode) {
        a.strVideoCodec = "mpeg4";
        a.bVfwMode = true;
    }

    // Copied into the outputs, the video takes the one rate of the track's default duration: a
    // film whose frames change their rate along the way would come out longer or shorter.
    if (a.bInfoReportRead && facts.video &&
        HasVariableFrameRate(TrimSpaces(source)).value_or(false)) {
        a.bVariableFrameRate = true;
        const std::string note = std::string(msg::kVariableFrameRate) + ctx.form.txtSFPS.text() +
                                 std::string(msg::kVariableFrameRateTail);
        ctx.Progress(note);
        ctx.Log(note);
    }
    if (!a.strLeftOutVideoTracks.empty()) {
        const std::string note = std::string(msg::kVideoTracksLeftOut) + a.strLeftOutVideoTracks;
        ctx.Progress(note);
        ctx.Log(note);
    }
    if (!a.strSourceRefusal.empty()) {
        const std::string note = std::string(msg::kSourceRefused) + a.strSourceRefusal;
        ctx.Progress(note);
        ctx.Log(note);
    }
    Form1& f = ctx.form;
    if (ctx.analysis.strVideoCodec == "vc1") {
        f.chkVob.enabled = false;
        f.chk25.enabled = false;
        f.chkFF.enabled = false;
    }
    if (!a.strVideoRecodeReason.empty()) {
        // Video no console decodes takes the road of a failed DPB check, naming its reason. The
        // progress line and the log say it also in batch and command-line runs, which show no
        // warning.
        const std::string note = std::string(msg::kOnlyRecodeConverts) + a.strVideoRecodeReason;
        ctx.Progress(note);
        ctx.Log(note);
        RequireRecode(ctx, std::string(msg::kVideoNotPlayableHead) + a.strVideoRecodeReason +
                               std::string(msg::kVideoNotPlayableTail));
    } else if (a.strVideoCodec == "avc") {
        CheckDecodedPictureBuffer(ctx, source);
    }
    return a.bInfoReportRead;
}

bool SpeedsUpTo25Fps(const std::string& fps) {
    constexpr double kPalRate = 25.0, kRateTolerance = 0.01;
    char* end = nullptr;
    const double value = std::strtod(fps.c_str(), &end);
    const bool number = !fps.empty() && end == fps.c_str() + fps.size();
    return number && value > 0 && value < kPalRate - kRateTolerance;
}

void CheckDecodedPictureBuffer(Context& ctx, const std::string& source) {
    const std::string commandLine =
        Quoted(ctx.ToolPath(tool::kX264Checker)) + " " + Quoted(TrimSpaces(source));
    const std::string verdict = ctx.runner.RunCapture(commandLine, true, false, true);
    if (verdict.find(kDpbFailedPhrase) == std::string::npos) return;
    RequireRecode(ctx, std::string(msg::kDpbNotPlayable));
}

}  // namespace kestrun
