#include "analysis/read_info.h"

#include "analysis/track_report_parser.h"
#include "chains/decoder/track_starts.h"
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

std::string DpbWarning() {
    return "This AVC file is not playable on PS3 (black screen) or 360 (extreme artifacts).\r"
           "Recode to Xvid(both), MPEG2(PS3) or h264(both), to be able to play this file.\r"
           "The normal output format (MP4/AVCHD/M2TS) is  kept when recoding to h264.";
}

}  // namespace

bool ReadInfo(Context& ctx, const std::string& source) {
    const std::string report = tool::PathOf(ctx.programFolder, tool::kInfoReport);
    // A report left behind by an interrupted run belongs to another source.
    DeleteFileNoForce(report);
    const std::string commandLine = Quoted(ctx.ToolPath(tool::kMkvInfo)) + " " +
                                    Quoted(TrimSpaces(source)) + " -o " + Quoted(report);
    ctx.runner.RunCapture(commandLine, true, false, true);
    ctx.analysis.bInfoReportRead = FileExists(report);
    ParseMkvInfo(ctx);
    ctx.analysis.trackStartMs.clear();
    if (ctx.analysis.bInfoReportRead)
        ctx.analysis.trackStartMs = ReadTrackStartsMs(TrimSpaces(source));

    Form1& f = ctx.form;
    if (ctx.analysis.strVideoCodec == "vc1") {
        f.chkVob.enabled = false;
        f.chk25.enabled = false;
        f.chkFF.enabled = false;
    }
    if (ctx.analysis.strVideoCodec == "avc") CheckDecodedPictureBuffer(ctx, source);
    return ctx.analysis.bInfoReportRead;
}

void CheckDecodedPictureBuffer(Context& ctx, const std::string& source) {
    const std::string commandLine =
        Quoted(ctx.ToolPath(tool::kX264Checker)) + " " + Quoted(TrimSpaces(source));
    const std::string verdict = ctx.runner.RunCapture(commandLine, true, false, true);
    if (verdict.find(kDpbFailedPhrase) == std::string::npos) return;
    const bool quiet = ctx.analysis.bBatchMode || ctx.analysis.bCmdLineMode || ctx.form.bSplit;
    if (!quiet)
        ctx.host.MsgBox(DpbWarning(), std::string(msg::kAppTitle), MsgIcon::None, MsgButtons::Ok);
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

}  // namespace kestrun
