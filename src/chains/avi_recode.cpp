// An AVI made playable by one encoder run: the video kept and the sound re-encoded to MP3, or the
// video re-encoded to Xvid at the source's own size with the sound kept and, when asked, the
// subtitles burned in.
#include "analysis/media_probe.h"
#include "chains/source_chains.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/recode.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

constexpr const char* kXvidOpts =
    ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:"
    "hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";

std::string Mencoder(const Context& ctx) { return Quoted(ctx.ToolPath(tool::kMEncoder)); }

// "KR_" and the source's file name, with or without subtitles burned in.
std::string AviResultName(const Context& ctx) { return "KR_" + FileNameOf(ctx.form.strFullname); }

// An earlier result stays as it is, and a name the folder cannot take fails before the encoder
// runs.
bool RefuseAviResult(Context& ctx) {
    return RefuseResultName(ctx, AviResultName(ctx), work::kPartialSuffix, msg::kAppTitle);
}

}  // namespace

void NoteTakenAviAudio(Context& ctx) {
    std::string error;
    const auto facts = ReadMediaFacts(ctx, TrimmedSource(ctx), &error);
    if (!facts || facts->audio.size() < 2) return;
    const std::string note = std::string(msg::kAviAudioHead) + std::to_string(facts->audio.size()) +
                             std::string(msg::kAviAudioTail);
    ctx.Progress(note);
    ctx.Log(note);
}

std::string AviTargetSize(std::int64_t sourceBytes) {
    return std::to_string(-(sourceBytes / 1024));
}

void RecodeAviAudio(Context& ctx) {
    Conversion conv;
    ctx.finishedOutput.clear();
    if (RefuseAviResult(ctx)) return;
    ctx.Progress(std::string(msg::kRecodingAudio));
    const std::string output = WorkResult(ctx, AviResultName(ctx));
    Run(ctx, conv,
        Mencoder(ctx) + " -oac mp3lame -lameopts br=192 -mc 0 -of avi -o " + Quoted(output) +
            " -ovc copy -vf harddup " + Quoted(TrimmedSource(ctx)) + " -mc 0 -noskip");
    FinishWithOutput(ctx, output, msg::kConversionDoneAvi);
    ctx.host.Repaint();
}

void RecodeAviVideo(Context& ctx) {
    const Form1& f = ctx.form;
    Conversion conv;
    ctx.finishedOutput.clear();
    if (RefuseAviResult(ctx)) return;
    ctx.Progress(std::string(msg::kRecodingVideo));
    const std::string size = AviTargetSize(FileSizeForOutput(f.strFullname));
    const std::string source = Quoted(TrimmedSource(ctx));
    const bool subsChecked = f.chkSubs.value() == 1;
    const std::string output = WorkResult(ctx, AviResultName(ctx));
    std::string command;
    if (subsChecked && (f.lblSRTFound.visible || !f.strSubBrowse.empty())) {
        const std::string head = Mencoder(ctx) + " -oac copy -mc 0 -font " +
                                 Quoted(ctx.ToolPath(tool::kMEncoderFont)) + " -utf8 " +
                                 f.strSubOpts + " -of avi -o " + Quoted(output) +
                                 " -ovc xvid -xvidencopts bitrate=" + size + kXvidOpts;
        command =
            f.lblSRTFound.visible
                ? head + "  -vf harddup " + source + " -noskip -sub " +
                      Quoted(f.strFullname.substr(0, f.strFullname.size() - 3) + "srt")
                : head + " -vf harddup  " + source + " -noskip -sub " + Quoted(f.strSubBrowse);
    } else {
        command = Mencoder(ctx) + " -oac copy -mc 0 -of avi -o " + Quoted(output) +
                  " -ovc xvid -xvidencopts bitrate=" + size + kXvidOpts + " -vf harddup " + source +
                  " -noskip";
    }
    RunEncoder(ctx, conv, command, msg::kRecodingVideo);
    FinishWithOutput(ctx, output, msg::kConversionDoneAvi);
    ctx.host.Repaint();
}

}  // namespace kestrun
