// The MKV conversion: a prologue that checks the folders and gathers the settings, then one
// chain of stages picked from the options and the analysis. Stages meet only through the window,
// the analysis, the Conversion values and the fixed file names in the work folder.
#include "chains/convert_mkv.h"

#include "analysis/console_rules.h"
#include "analysis/media_probe.h"
#include "analysis/read_info.h"
#include "chains/split_source.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/recode.h"
#include "pipeline/result_names.h"
#include "pipeline/side_by_side.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/tool_runner.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

constexpr const char* kDefaultH264Opts =
    ":threads=auto:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8:"
    "me=hex:me_range=16:subq=5:chroma_me:mixed_refs:bime:trellis=1:weight_b:b_pyramid:nr=0";
constexpr const char* kDefaultSubOpts =
    "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 5";
constexpr const char* kAudioFormats[] = {"ac3", "dts", "ogg", "mp3", "aac", "mp2"};

void BuildToolPaths(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    f.strMKV = conv.mkvextract = ctx.ToolPath(tool::kMkvExtract);
    f.strMKVmerge = conv.mkvmerge = ctx.ToolPath(tool::kMkvMerge);
    conv.ssa2srt = ctx.ToolPath(tool::kSsa2Srt);
    f.strFF = conv.ffmpeg = ctx.ToolPath(tool::kFFmpeg);
    f.strMP4 = conv.mp4box = ctx.ToolPath(tool::kMP4Box);
    conv.mpgtx = ctx.ToolPath(tool::kMpgtx);
    conv.h264info = ctx.ToolPath(tool::kH264Info);
    conv.besweet = ctx.ToolPath(tool::kBeSweet);
    conv.soundstretch = ctx.ToolPath(tool::kSoundStretch);
    conv.tsmuxer = ctx.ToolPath(tool::kTsMuxer);
    conv.aften = ctx.ToolPath(tool::kAften);
    conv.valdec = ctx.ToolPath(tool::kValdec);
    conv.mencoder = ctx.ToolPath(tool::kMEncoder);
    ctx.host.SetTopmost(false);
    if (f.strH264Opts.find("frameref") == std::string::npos) f.strH264Opts = kDefaultH264Opts;
    if (f.strSubOpts.find("subfont") == std::string::npos) f.strSubOpts = kDefaultSubOpts;
    for (std::string_view nero : tool::kNeroAacEnc) {
        if (FileFound(ctx.ToolPath(nero))) {
            conv.neroPath = ctx.ToolPath(nero);
            conv.neroFound = true;
            break;
        }
    }
}

// The last checked format button wins; empty when none is checked.
std::string AudioFormatText(const Form1& f) {
    std::string format;
    for (int i = 0; i < kAudioFormatCount; ++i)
        if (f.Option1[i].value()) format = kAudioFormats[i];
    return format;
}

}  // namespace

void GatherConversion(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    BuildToolPaths(ctx, conv);
    conv.fps = f.txtSFPS.text();
    conv.audioFormat =
        ChosenTrackDecodedInProcess(ctx) ? std::string(kDecodedAudioFormat) : AudioFormatText(f);
    conv.baseName = ResultBaseName(f.strFullname);
    conv.audioDelayMs = AudioDelayMs(ctx, f.txtS1.text(), f.txtS2.text());
    const size_t slash = f.strFullname.rfind('/');
    f.strMKVPath = slash == std::string::npos ? std::string() : f.strFullname.substr(0, slash + 1);
}

namespace {

// Prologue steps 1 to 6; false when the conversion must not go on.
bool Prologue(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    if (f.txtFile.text().empty() || !FolderExists(f.txtTMP.text())) {
        ShowError(ctx, std::string(msg::kOutputFolderMissing), std::string(msg::kFolderErrorTitle));
        EndSteps(ctx);
        return false;
    }
    f.strFullname = f.txtFile.text();
    if (!FileFound(TrimmedSource(ctx))) {
        // Every tool would fail on it one after another; say so once instead.
        Report(ctx, std::string(msg::kSourceMissing) + f.strFullname,
               std::string(msg::kSourceErrorTitle));
        return false;
    }
    // Video known to need a re-encode was analysed when chosen; analysing it again would undo a
    // choice made since (and warn again).
    if (ctx.analysis.strVideoCodec.empty() && ctx.analysis.strVideoRecodeReason.empty())
        ReadInfo(ctx, f.strFullname);
    GatherConversion(ctx, conv);
    return true;
}

// A source no conversion can take (no video track) is refused before any work.
bool RefuseSource(Context& ctx) {
    const std::string& reason = ctx.analysis.strSourceRefusal;
    if (reason.empty()) return false;
    Report(ctx, std::string(msg::kSourceRefused) + reason, std::string(msg::kSourceErrorTitle));
    return true;
}

// Why MPEG-4 Part 2 video cannot be copied into the chosen output: an AVCHD folder and an M2TS
// stream carry none, and an MP4 only within the console's limits. Empty when it can.
std::string Mpeg4CopyProblem(Context& ctx) {
    const Form1& f = ctx.form;
    if (f.chkAVCHD.value() == 1 || f.chkVob.value() == 1)
        return std::string(msg::kMpeg4NotInTransportStream);
    std::string error;
    const auto facts = ReadMediaFacts(ctx, TrimmedSource(ctx), &error);
    if (!facts) return {};
    const Console console = f.b360                               ? Console::Xbox360
                            : f.cmbPlatform.selectedIndex() == 2 ? Console::Ps3Stereo
                                                                 : Console::Ps3;
    for (const RuleResult& r : CheckAsTarget(*facts, console, Target::Mp4).results)
        if (r.status == RuleStatus::Fail && r.fix == Fix::VideoReencode)
            return "MPEG-4 Part 2 video, " + r.rule + " " + r.measured;
    return {};
}

// MPEG-4 Part 2 that the output cannot carry is re-encoded, as video no console decodes is: the
// reason goes to the progress line and the log, and "MPEG2 Recode" is ticked, with H.264 for an
// AVCHD folder or an M2TS stream.
void ReencodeMpeg4WhereNotCopied(Context& ctx) {
    Form1& f = ctx.form;
    if (ctx.analysis.strVideoCodec != "mpeg4" || ReencodesVideo(f)) return;
    const std::string problem = Mpeg4CopyProblem(ctx);
    if (problem.empty()) return;
    const std::string note = std::string(msg::kOnlyRecodeConverts) + problem;
    ctx.Progress(note);
    ctx.Log(note);
    constexpr int kRecodeMpeg2 = 0, kRecodeH264 = 1;
    if (f.chkAVCHD.value() == 1 || f.chkVob.value() == 1 || f.cmdConv.selectedIndex() < 0)
        f.cmdConv.SetSelectedIndex(f.b360 || f.chkAVCHD.value() == 1 || f.chkVob.value() == 1
                                       ? kRecodeH264
                                       : kRecodeMpeg2);
    f.chkMP2.SetValue(1);
}

// Video whose frame rate varies is re-encoded to H.264 unless a re-encode is chosen: the encode
// repeats or drops frames to make one rate and keep the length (the analysis said so).
void ReencodeVariableRate(Context& ctx) {
    Form1& f = ctx.form;
    if (!ctx.analysis.bVariableFrameRate || ReencodesVideo(f)) return;
    constexpr int kRecodeH264 = 1;
    f.cmdConv.SetSelectedIndex(kRecodeH264);
    f.chkMP2.SetValue(1);
}

// Video no console decodes is never copied: without a re-encode there is nothing to make.
bool RefuseVideoCopy(Context& ctx) {
    const std::string& reason = ctx.analysis.strVideoRecodeReason;
    if (reason.empty() || ReencodesVideo(ctx.form)) return false;
    Report(ctx, std::string(msg::kOnlyRecodeConverts) + reason + std::string(msg::kChooseRecode),
           std::string(msg::kVideoErrorTitle));
    return true;
}

// Every chain below the VC-1 and MPEG-2 ones needs one of the six audio formats.
bool RefuseUnknownAudio(Context& ctx, const Conversion& conv) {
    if (!conv.audioFormat.empty()) return false;
    Report(ctx, std::string(msg::kUnknownAudioFormat), std::string(msg::kAudioErrorTitle));
    return true;
}

void RunMuxingChains(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    ctx.Log(conv.lastCommand);
    if (f.chkVob.value() != 1 && f.chkAVCHD.value() != 1 && !conv.h264Recode) {
        ctx.Progress(std::string(msg::kAdjustingHeader));
        PatchSpsLevel(Work(ctx, ctx.analysis.bVfwMode ? work::kMovieVideoH264 : work::kMovieH264));
    }
    if (f.chkAVCHD.value() == 1) {
        RunAvchdChain(ctx, conv);
    } else if (f.chkVob.value() == 1) {
        RunM2tsChain(ctx, conv);
    } else {
        ConvertAudioForMp4(ctx, conv);
        MuxMp4(ctx, conv);
    }
}

// MPEG-2 video that no re-encode is chosen for is repacked into a VOB, the one output that
// carries it unchanged.
bool RepacksVob(const Context& ctx) {
    return ctx.analysis.strVideoCodec == "mpeg2" && !ReencodesVideo(ctx.form);
}

// The repack writes no AVCHD folder or M2TS stream: asking for one without a re-encode is
// refused before any work, naming what does make it.
bool RefuseRepackContainer(Context& ctx) {
    const Form1& f = ctx.form;
    if (!RepacksVob(ctx) || (f.chkAVCHD.value() != 1 && f.chkVob.value() != 1)) return false;
    Report(ctx, std::string(msg::kMpeg2NeedsRecodeForContainer),
           std::string(msg::kVideoErrorTitle));
    return true;
}

// The final result of this conversion: an MP4, an AVCHD folder, an M2TS stream or MPEG-2 re-encode
// (".mpg"), an Xvid AVI, or the VOB repack of MPEG-2 video (".mpg").
ResultKind ResultKindOf(const Context& ctx) {
    return RepacksVob(ctx) ? ResultKind::Mpg : ChosenResultKind(ctx.form);
}

// The result goes into the output folder only under a free name: an earlier result stays as it
// is. Say so before any work is done, and touch nothing; the same for a name longer than the
// folder takes, with what the tools add to it on the way (MP4Box's rewrite of an MP4 the most).
bool RefuseExistingResult(Context& ctx, const Conversion& conv) {
    const ResultKind kind = ResultKindOf(ctx);
    const std::string name = ResultName(kind, conv.baseName);
    if (name.empty()) return false;
    const bool mp4 = kind == ResultKind::Mp4;
    if (RefuseResultName(ctx, name, mp4 ? work::kRewritePartialSuffix : work::kPartialSuffix,
                         mp4 ? msg::kMp4ErrorTitle : msg::kAppTitle))
        return true;
    // tsMuxeR's stream is named after the source before it becomes the ".mpg".
    const std::string m2ts = Work(ctx, conv.baseName + ".m2ts");
    if (kind != ResultKind::Mpg || ctx.form.chkVob.value() != 1 || !NameTaken(m2ts)) return false;
    Report(ctx, std::string(msg::kResultExists) + m2ts, std::string(msg::kAppTitle));
    return true;
}

// The VC-1 chain leaves its video stream and movie.wma for the user, under their fixed names.
// Without a work folder of its own the chain clears those names itself.
bool RefuseExistingVc1Results(Context& ctx) {
    if (ctx.workFolder.empty()) return false;
    using namespace work;
    const std::vector<std::string_view> names =
        ctx.analysis.bVfwMode ? std::vector{kMovieVideoH264, kMovieVideoCmp, kMovieWma}
                              : std::vector{kMovieWvc1, kMovieWma};
    for (std::string_view name : names)
        if (RefuseResultName(ctx, std::string(name), kPartialSuffix, msg::kVc1ErrorTitle))
            return true;
    return false;
}

// Intermediate files that a failed earlier run left behind would pass for this run's output
// when a tool of this run fails; the names belong to the conversion, so they go first.
void ClearStaleIntermediates(Context& ctx, bool vc1Chain) {
    CleanupAfterTs(ctx);
    DeleteWork(ctx, work::kMovieWav);
    DeleteWork(ctx, work::kMovie2Wav);
    // The VC-1 chain's results carry fixed names too: an earlier run's would pass for this one's.
    if (vc1Chain)
        for (std::string_view name : {work::kMovieWvc1, work::kMovieWma, work::kMovieVc1})
            DeleteWork(ctx, name);
}

}  // namespace

void ConvertMkv(Context& ctx) {
    Form1& f = ctx.form;
    Analysis& a = ctx.analysis;
    Conversion conv;
    ctx.finishedOutput.clear();
    if (!Prologue(ctx, conv)) return;
    if (RefuseSource(ctx)) return;
    ReencodeMpeg4WhereNotCopied(ctx);
    ReencodeVariableRate(ctx);
    // Copied MPEG-4 Part 2 goes through an AVI; a re-encode reads the source itself.
    if (a.strVideoCodec == "mpeg4") a.bVfwMode = !ReencodesVideo(f);
    if (RefuseVideoCopy(ctx)) return;
    if (SplitSourceIfLarge(ctx, conv)) return;

    const bool vc1Chain =
        a.strVideoCodec == "vc1" && f.chkMP2.value() != 1 && f.chkAVCHD.value() != 1;
    // The VOB repack writes no MP4; it takes MPEG-2 video without sound as it is.
    const bool vobRepack = RepacksVob(ctx);
    const bool hasAudio = !a.strAudioTracks[0].track.empty();
    if (vobRepack && RefuseRepackContainer(ctx)) return;
    if (!vc1Chain && (((!vobRepack || hasAudio) && RefuseUnknownAudio(ctx, conv)) ||
                      RefuseExistingResult(ctx, conv)))
        return;
    if (vc1Chain && RefuseExistingVc1Results(ctx)) return;
    ClearStaleIntermediates(ctx, vc1Chain);

    if (vc1Chain) {
        RunVc1Chain(ctx, conv);
        return;
    }
    if (vobRepack) {
        RepackVob(ctx, conv);
        return;
    }

    ctx.Progress(std::string(msg::kExtracting));
    if (RunMp4ChainSideBySide(ctx, conv)) return;
    if (RunAvchdChainSideBySide(ctx, conv)) return;
    ExtractStreams(ctx, conv);

    if (f.chkMP2.value() == 1) {
        conv.h264Recode = f.cmdConv.selectedIndex() == 1;
        conv.xvidRecode = f.cmdConv.selectedIndex() == 2;
    }
    if (conv.h264Recode) EncodeH264(ctx, conv);
    if (f.chkVob.value() == 1 && f.chkFF.value() == 0)
        RenameWork(ctx, work::kMovieH264, work::kMovieRawH264);

    if (f.chkMP2.value() == 1 && f.cmdConv.selectedIndex() == 0) {
        RunMpeg2Chain(ctx, conv);
    } else if (conv.xvidRecode) {
        RunXvidChain(ctx, conv);
    } else {
        RunMuxingChains(ctx, conv);
    }
}

}  // namespace kestrun
