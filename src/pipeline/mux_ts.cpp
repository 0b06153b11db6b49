// The two transport-stream targets, both muxed by tsMuxeR from a meta file: the AVCHD chain
// writes a Blu-ray/AVCHD folder named after the source, the M2TS chain one stream that is
// stored under the extension ".mpg". Each checks that tsMuxeR wrote its result before the
// intermediate files go.
#include <cmath>
#include <cstdio>
#include <fstream>

#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/result_names.h"
#include "pipeline/side_by_side.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

constexpr const char* kMuxOptionsHead =
    "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  ";
constexpr const char* kAutoChapters = "--auto-chapters=5 ";
// A playlist holds at most 999 marks.
constexpr size_t kMaxChapterMarks = 999;
constexpr const char* kVbvLength = " --vbv-len=500";
constexpr std::int64_t kSplitPieceMegabytes = 4000;

bool H264Recode(const Conversion& conv) { return conv.h264Recode; }

std::string VideoFromWork(const Context& ctx, const Conversion& conv) {
    return "V_MPEG4/ISO/AVC, " + Quoted(Work(ctx, work::kMovieH264)) + ", fps=" + conv.fps;
}

std::string VideoFromMkv(const Context& ctx, const Conversion& conv) {
    return "V_MPEG4/ISO/AVC, " + Quoted(ctx.form.strFullname) + ", track=" + ctx.form.txtS1.text() +
           ", level=4.1, fps=" + conv.fps;
}

// movie.ac3 starts with the source's audio; where that was not moved into place on the way
// (decoding to movie.wav does it), tsMuxeR shifts it by the track's delay against the video.
// An audio track read from the MKV keeps its place by itself.
std::string ConvertedAc3(const Context& ctx, const Conversion& conv) {
    const std::string shift =
        conv.audioDelayMs != 0 ? ", timeshift=" + std::to_string(conv.audioDelayMs) + "ms" : "";
    return "A_AC3, " + Quoted(Work(ctx, work::kMovieAc3)) + shift;
}

std::string MkvAudio(const Context& ctx, const std::string& codec) {
    return codec + ", " + Quoted(ctx.form.strFullname) + ", track=" + ctx.form.txtS2.text();
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The shortest decimal form: 180, 171.5.
std::string ShortDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string FontPieces(const Context& ctx, const std::string& bottomOffset) {
    const Analysis& a = ctx.analysis;
    return std::string(" ,font-name=") + Quoted("Arial") +
           ",font-size=42,font-color=0x00FFFFFF,font-charset=1,bottom-offset=" + bottomOffset +
           ",font-border=1,text-align=center,video-width=" + std::to_string(a.intPixelWidth) +
           ",video-height=" + std::to_string(a.intPixelHeight);
}

std::string SelectedSubtitleText(const Form1& f) {
    const int row = f.cmbSubs.selectedIndex();
    if (row >= 0 && row < f.cmbSubs.ListCount()) return f.cmbSubs.items()[row];
    return f.cmbSubs.text();
}

bool IsTextTrack(const std::string& format) {
    return format == "srt" || format == "SSA" || format == "ASS";
}

// A picture track of the MKV, which tsMuxeR takes from the MKV as it takes a text track: PGS as
// the disc had it, VobSub drawn again at the video's size.
std::string ImageSubtitleLine(const Context& ctx, const Conversion& conv, const TrackRow& row) {
    const Analysis& a = ctx.analysis;
    const long track = std::strtol(row.track.c_str(), nullptr, 10);
    const char* codec = row.format == kPgsSubtitleFormat ? "S_HDMV/PGS" : "S_VOBSUB";
    return std::string(codec) + ", " + Quoted(ctx.form.strFullname) +
           ", video-width=" + std::to_string(a.intPixelWidth) +
           ",video-height=" + std::to_string(a.intPixelHeight) +
           ", track=" + std::to_string(track) + ", fps=" + conv.fps + ", lang=" + row.language;
}

// Later rules replace earlier ones: the user's file wins over an SRT beside the source, which
// wins over a track of the MKV (SRT, or SSA/ASS, which tsMuxeR draws as plain text, or pictures).
std::string SubtitleLine(const Context& ctx, const Conversion& conv) {
    const Form1& f = ctx.form;
    if (f.chkSubs.value() != 1 || f.chkMP2.value() == 1) return {};
    const std::string fonts = FontPieces(ctx, SubtitleBottomOffset(ctx, conv));
    std::string line;
    const int row = f.cmbSubs.selectedIndex();
    const TrackRow* chosen =
        row >= 0 && row < kTrackTableRows ? &ctx.analysis.strSubTracks[row] : nullptr;
    if (chosen && IsTextTrack(chosen->format)) {
        const long track = std::strtol(chosen->track.c_str(), nullptr, 10);
        line = "S_TEXT/UTF8, " + Quoted(f.strFullname) + fonts +
               ", track=" + std::to_string(track) + ", fps=" + conv.fps +
               ", lang=" + SelectedSubtitleText(f);
    }
    if (chosen && !ImageSubtitleKind(chosen->format).empty())
        line = ImageSubtitleLine(ctx, conv, *chosen);
    if (f.lblSRTFound.visible && f.strFullname.size() >= 3) {
        const std::string srt = f.strFullname.substr(0, f.strFullname.size() - 3) + "srt";
        line = "S_TEXT/UTF8, " + Quoted(srt) + fonts + ", , fps=" + conv.fps;
    }
    if (!f.strSubBrowse.empty())
        line = "S_TEXT/UTF8, " + Quoted(f.strSubBrowse) + fonts + ", fps=" + conv.fps;
    return line;
}

void WriteMetaFile(const Context& ctx, const std::vector<std::string>& lines) {
    std::ofstream meta(Work(ctx, work::kMovieMeta), std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) meta << line << "\r\n";
}

std::string TsMuxerCommand(const Context& ctx, const Conversion& conv, const std::string& out) {
    return Quoted(conv.tsmuxer) + " " + Quoted(Work(ctx, work::kMovieMeta)) + " " + Quoted(out);
}

// tsMuxeR wrote the structure: a playlist, and for every stream file a clip information file,
// with the first stream file not empty.
bool AvchdWritten(const std::string& folder) {
    const std::string bdmv = folder + "/BDMV/";
    if (!FileFound(bdmv + "PLAYLIST/00000.mpls") || !FileFound(bdmv + "CLIPINF/00000.clpi"))
        return false;
    const std::int64_t size = FileSizeForOutput(bdmv + "STREAM/00000.m2ts");
    return size > 0 && size != kInvalidFileSize;
}

void ReportNotCreated(Context& ctx, const std::string& result) {
    Report(ctx, std::string(msg::kNotCreatedHead) + result + std::string(msg::kNotCreatedTail),
           std::string(msg::kInfoTitle));
}

void HideSubtitleChoice(Context& ctx) {
    ctx.form.cmbSubs.visible = false;
    ctx.form.lblSRTFound.visible = false;
    ctx.host.Repaint();
}

}  // namespace

std::string SubtitleBottomOffset(const Context& ctx, const Conversion& conv) {
    const int width = ctx.analysis.intPixelWidth, height = ctx.analysis.intPixelHeight;
    if (H264Recode(conv)) return "50";
    if (width == 1920 && height < 1080) return ShortDecimal((1080.0 - height) / 2 + 40);
    if (width == 1280 && height < 720) return ShortDecimal((720.0 - height) / 2 + 40);
    return "50";
}

std::string AvchdSplitOption(const Context& ctx) {
    const Form1& f = ctx.form;
    if (f.Check1.value() == 1) {
        const std::int64_t bytes = FileSizeForOutput(f.strFullname);
        if (bytes == kInvalidFileSize) return {};
        const auto megabytes = static_cast<std::int64_t>(std::nearbyint(double(bytes) / 1e6));
        const std::int64_t parts = megabytes / kSplitPieceMegabytes;
        if (parts == 0) return {};
        return " --split-size=" + std::to_string(megabytes / (parts + 1)) + "MB ";
    }
    if (f.chkDVD.value() == 1) return " --split-size=4.5GB ";
    return {};
}

// "00:03:07.500" for 187500 ms.
std::string ChapterTime(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

// The source's own chapters as the playlist's marks; a mark every five minutes for a source
// without chapters.
std::string ChapterOption(const Analysis& a) {
    if (a.chapterStartsMs.empty()) return kAutoChapters;
    std::string times;
    for (size_t i = 0; i < a.chapterStartsMs.size() && i < kMaxChapterMarks; ++i)
        times += (i ? ";" : "") + ChapterTime(a.chapterStartsMs[i]);
    return "--custom-chapters=" + times + " ";
}

std::vector<std::string> AvchdMetaLines(const Context& ctx, const Conversion& conv) {
    const Form1& f = ctx.form;
    std::vector<std::string> lines;
    lines.push_back(kMuxOptionsHead + ChapterOption(ctx.analysis) + AvchdSplitOption(ctx) +
                    kVbvLength);
    if (ctx.analysis.strVideoCodec == "vc1")
        lines.push_back("V_MS/VFW/WVC1, " + Quoted(f.strFullname) + ", track=" + f.txtS1.text() +
                        ", fps=" + conv.fps);
    else
        lines.push_back(f.chkFF.value() != 1 ? VideoFromWork(ctx, conv) : VideoFromMkv(ctx, conv));
    lines.push_back(AvchdConvertsAudio(conv) ? ConvertedAc3(ctx, conv)
                                             : MkvAudio(ctx, Upper("A_" + conv.audioFormat)));
    const std::string subtitles = SubtitleLine(ctx, conv);
    if (!subtitles.empty()) lines.push_back(subtitles);
    return lines;
}

std::vector<std::string> M2tsMetaLines(const Context& ctx, const Conversion& conv) {
    const Form1& f = ctx.form;
    const bool videoFromWork = f.chkFF.value() != 1 || conv.h264Recode || ctx.analysis.bVfwMode;
    return {videoFromWork ? VideoFromWork(ctx, conv) : VideoFromMkv(ctx, conv),
            conv.audioFormat == "ac3" ? MkvAudio(ctx, "A_AC3") : ConvertedAc3(ctx, conv)};
}

void RunAvchdChain(Context& ctx, Conversion& conv) {
    ctx.Progress(std::string(msg::kCreatingAvchd));
    ConvertAudioForAvchd(ctx, conv);
    FinishAvchdChain(ctx, conv);
}

void FinishAvchdChain(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    if (conv.h264Recode) RenameWork(ctx, work::kMovieH264, work::kMovieRawH264);
    if (f.chkFF.value() != 1 || conv.h264Recode) RunH264Info(ctx, ctx.WorkPath(""));
    WriteMetaFile(ctx, AvchdMetaLines(ctx, conv));
    const std::string folder = WorkResult(ctx, ResultName(ResultKind::AvchdFolder, conv.baseName));
    Run(ctx, conv, TsMuxerCommand(ctx, conv, folder));
    // tsMuxeR's exit tells little; the structure itself shows whether it was written.
    if (AvchdWritten(folder)) {
        CleanupAfterTs(ctx);
        ctx.finishedOutput = folder;
        ctx.Progress(std::string(msg::kConversionDone));
    } else {
        ctx.Progress(std::string(msg::kConversionErrorMp4));
        ReportNotCreated(ctx, folder);
    }
    HideSubtitleChoice(ctx);
}

void RunM2tsChain(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    const auto adjustHeader = [&] {
        ctx.Progress(std::string(msg::kAdjustingHeaderTs));
        ctx.host.DoEvents();
        if (f.chkFF.value() != 1) RunH264Info(ctx, ctx.WorkPath(""));
        return true;
    };
    // The level patch and the audio conversion share no file: when both have work, they run
    // side by side.
    if (f.chkFF.value() != 1 && conv.audioFormat != "ac3") {
        Conversion audio = conv;
        const bool went = RunSideBySide(ctx, adjustHeader, [&] {
            ConvertAudioForM2ts(ctx, audio);
            return true;
        });
        if (!went) return;  // cancelled: the intermediate files stay
        conv = audio;
    } else {
        adjustHeader();
        ConvertAudioForM2ts(ctx, conv);
    }
    ctx.Progress(std::string(msg::kMuxingM2ts));
    ctx.host.DoEvents();
    WriteMetaFile(ctx, M2tsMetaLines(ctx, conv));
    // tsMuxeR writes NAME.m2ts in the work folder, where only this run writes; it becomes the
    // ".mpg" result there, and only a stream this run wrote is judged and moved.
    const std::string m2ts = Work(ctx, conv.baseName + ".m2ts");
    const std::string mpg = WorkResult(ctx, ResultName(ResultKind::Mpg, conv.baseName));
    const bool fresh = !NameTaken(m2ts);
    Run(ctx, conv, TsMuxerCommand(ctx, conv, m2ts));
    const bool moved = fresh && FileExists(m2ts) && RenameNoReplace(m2ts, mpg);
    const std::int64_t size = moved ? FileSizeForOutput(mpg) : 0;
    if (size > 0 && size != kInvalidFileSize) {
        CleanupAfterTs(ctx);
        ctx.finishedOutput = mpg;
        ctx.Progress(std::string(msg::kConversionDone));
    } else {
        ctx.Progress(std::string(msg::kConversionErrorMp4));
        ReportNotCreated(ctx, mpg);
    }
    HideSubtitleChoice(ctx);
    EndSteps(ctx);
}

}  // namespace kestrun
