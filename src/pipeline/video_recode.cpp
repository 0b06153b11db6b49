// The H.264 re-encode (its result goes on through the muxing chains), the MPEG-2 chain that ends
// in a program stream with AC-3 audio, and the AC-3 audio preparation that the MPEG-2 and Xvid
// chains share. The encoder reads the MKV itself; its own sound is off and the audio goes its
// separate way.
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/recode.h"
#include "pipeline/recode_internal.h"
#include "pipeline/result_names.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

// A negative bitrate is read as a target size: 4 GiB for "Fit to DVD (4.7)".
constexpr const char* kDvdTargetSize = "-4194304";

constexpr const char* kLavcAutoThreads =
    " -of mpeg -ovc lavc -lavcopts threads=auto:vcodec=mpeg2video:vrc_buf_size=1600:"
    "vrc_maxrate=14900:vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
constexpr const char* kLavcFourThreads =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:"
    "vrc_maxrate=14900:vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
constexpr const char* kLavcPlain =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:"
    "vrc_maxrate=14900:vbitrate=14900:keyint=15:autoaspect:dia=2:trell:mv0 -ofps ";

void RefreshBitrate(Context& ctx) {
    Form1& f = ctx.form;
    if (f.bSplit && !f.strH264Bitrate.empty()) return;  // later pieces keep the first's rate
    if (const auto rate = ReadSourceBitrate(f.strFullname)) {
        f.strH264Bitrate = std::to_string(*rate);
    } else if (f.strH264Bitrate.empty()) {
        // An unreadable rate would leave "bitrate=" without a number and no encode at all.
        f.strH264Bitrate = std::to_string(*ReadSourceBitrate("/dev/null"));
    }
}

std::string H264Command(Context& ctx, const RecodeSubtitles& subs, const std::string& fps) {
    const Form1& f = ctx.form;
    const std::string noskip = KeepEveryFrame(ctx);
    const std::string mencoder = Quoted(ctx.ToolPath(tool::kMEncoder));
    const std::string encode = " -of rawvideo -o " + Quoted(Work(ctx, work::kMovieH264)) +
                               " -ovc x264 -x264encopts bitrate=" + f.strH264Bitrate +
                               f.strH264Opts + " -ofps " + fps;
    const std::string expand = ExpandFilter(ctx);
    const std::string source = Quoted(TrimmedSource(ctx));
    if (subs.kind == SubtitleCase::None)
        return mencoder + " -nosound" + noskip + " -mc 0" + encode + " -vf harddup" + expand + " " +
               source + " -mc 0" + noskip;
    const std::string head = mencoder + " -oac copy -font " +
                             Quoted(ctx.ToolPath(tool::kMEncoderFont)) + " -utf8 " + f.strSubOpts +
                             " -nosound" + noskip + " -mc 0" + encode;
    if (subs.kind == SubtitleCase::Extracted)
        return head + " -vf  harddup" + expand + " " + source + " -mc 0" + noskip +
               SubtitleFilePiece(subs, " -ass -sub ");
    return head + " -vf harddup" + expand + " " + source + " -mc 0" + noskip + " -sub " +
           Quoted(subs.file);
}

std::string Mpeg2Command(Context& ctx, const RecodeSubtitles& subs, const std::string& fps) {
    const Form1& f = ctx.form;
    const std::string noskip = KeepEveryFrame(ctx);
    const std::string mencoder = Quoted(ctx.ToolPath(tool::kMEncoder));
    const std::string output = Quoted(Work(ctx, work::kMovieMpg));
    const std::string source = Quoted(TrimmedSource(ctx));
    if (subs.kind == SubtitleCase::None)
        return mencoder + " -nosound -o " + output + kLavcPlain + fps + " -vf harddup " + source +
               " -mc 0" + noskip;
    const char* lavc =
        subs.kind == SubtitleCase::BesideSource ? kLavcAutoThreads : kLavcFourThreads;
    return mencoder + " -nosound  -font " + Quoted(ctx.ToolPath(tool::kMEncoderFont)) + " -utf8 " +
           f.strSubOpts + " -o " + output + lavc + fps + " -vf harddup " + source + " -mc 0" +
           noskip + SubtitleFilePiece(subs, " -sub ");
}

void DeleteMpeg2Intermediates(Context& ctx) {
    using namespace work;
    for (std::string_view name :
         {kMovieMpg, kMovieH264, kMovieMp4, kMovieAc3, kMovieWav, kMovieSrt, kMovieAss,
          kMovieAssUpper, kMovieSsa, kMovieSsaUpper, kMovieSup, kMovieIdx, kMovieSub})
        DeleteWork(ctx, name);
}

}  // namespace

std::string KeepEveryFrame(const Context& ctx) {
    return ctx.analysis.bVariableFrameRate ? "" : " -noskip";
}

std::string SubtitleFilePiece(const RecodeSubtitles& subs, std::string_view textOption) {
    if (subs.kind == SubtitleCase::Extracted && subs.format == kPgsSubtitleFormat)
        return " -sub " + Quoted(subs.file);
    if (subs.kind == SubtitleCase::Extracted && subs.format == kVobSubSubtitleFormat) {
        const size_t dot = subs.file.rfind('.');
        return " -vobsub " + Quoted(subs.file.substr(0, dot));
    }
    return std::string(textOption) + Quoted(subs.file);
}

RecodeSubtitles PrepareSubtitles(Context& ctx, const std::string& extractionPiece,
                                 const std::string& format) {
    const Form1& f = ctx.form;
    RecodeSubtitles subs;
    subs.kind = ChooseSubtitleCase(f, !extractionPiece.empty());
    switch (subs.kind) {
        case SubtitleCase::BesideSource:
            subs.file = f.strFullname.substr(0, f.strFullname.size() - 3) + "srt";
            break;
        case SubtitleCase::Chosen:
            subs.file = f.strSubBrowse;
            break;
        case SubtitleCase::Extracted:
            subs.file = Work(ctx, "movie." + format);
            subs.format = format;
            break;
        case SubtitleCase::None:
            break;
    }
    return subs;
}

void ExtractSubtitleTrack(Context& ctx, Conversion& conv, const std::string& piece) {
    Run(ctx, conv, Quoted(conv.mkvextract) + " tracks " + Quoted(TrimmedSource(ctx)) + " " + piece);
}

namespace {

// movie.ac3 is there and not empty; otherwise the audio error ends the conversion.
bool Ac3Written(Context& ctx) {
    const std::int64_t size = FileSizeForOutput(Work(ctx, work::kMovieAc3));
    if (size > 0 && size != kInvalidFileSize) return true;
    ShowError(ctx, std::string(msg::kAudioExtractionError), std::string(msg::kAudioErrorTitle));
    ctx.Progress(std::string(msg::kConversionErrorRecode));
    return false;
}

bool EncodeWavToAc3(Context& ctx, Conversion& conv) {
    Run(ctx, conv,
        Quoted(conv.aften) + " " + Quoted(Work(ctx, work::kMovieWav)) + " -b 640 " +
            Quoted(Work(ctx, work::kMovieAc3)));
    DeleteWork(ctx, work::kMovieWav);
    return Ac3Written(ctx);
}

}  // namespace

bool PrepareAc3Audio(Context& ctx, Conversion& conv, const std::string& piece, bool xvidRules) {
    const Form1& f = ctx.form;
    const std::string& format = conv.audioFormat;
    // The re-encodes' muxers take movie.ac3 as starting with the video. A track that starts away
    // from it is decoded to movie.wav, which the decoder starts where the video does, and encoded
    // again; the usual steps follow when it cannot be decoded so.
    if (conv.audioDelayMs != 0 && DecodeAc3ToWav(ctx, conv)) {
        if (!piece.empty()) ExtractSubtitleTrack(ctx, conv, piece);
        return EncodeWavToAc3(ctx, conv);
    }
    if (format != "dts" && format != "ac3" && format != "aac") {
        if (!piece.empty()) ExtractSubtitleTrack(ctx, conv, piece);
        DecodeAc3ToWav(ctx, conv);
        Run(ctx, conv,
            Quoted(conv.aften) + " " + Quoted(Work(ctx, work::kMovieWav)) + " -b 640 " +
                Quoted(Work(ctx, work::kMovieAc3)));
        return true;
    }
    Run(ctx, conv,
        Quoted(conv.mkvextract) + " tracks " + Quoted(TrimmedSource(ctx)) + " " + f.txtS2.text() +
            ":" + Quoted(WorkAudio(ctx, conv)) + " " + piece);
    if (format == "ac3" && !xvidRules) return true;
    if (format == "dts") {
        Run(ctx, conv,
            Quoted(conv.valdec) + " " + Quoted(Work(ctx, work::kMovieDts)) + " -wav " +
                Quoted(Work(ctx, work::kMovieWav)) + " -spk:0 -fmt:0");
        DeleteWork(ctx, work::kMovieDts);
    } else if (format == "aac") {
        Run(ctx, conv,
            Quoted(conv.ffmpeg) + " -i " + Quoted(Work(ctx, work::kMovieAac)) +
                " -acodec pcm_s16le " + Quoted(Work(ctx, work::kMovieWav)));
        DeleteWork(ctx, work::kMovieAac);
    }
    if (format != "ac3") return EncodeWavToAc3(ctx, conv);
    return Ac3Written(ctx);
}

void EncodeH264(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    std::string format;
    const std::string piece = SubtitlePiece(ctx, &format);
    const RecodeSubtitles subs = PrepareSubtitles(ctx, piece, format);
    if (subs.kind == SubtitleCase::Extracted) ExtractSubtitleTrack(ctx, conv, piece);
    conv.fps = MencoderFrameRate(f.txtSFPS.text());
    ctx.Progress(std::string(msg::kEncodingH264));
    RefreshBitrate(ctx);
    if (f.chkDVD.value() == 1) f.strH264Bitrate = kDvdTargetSize;
    RunEncoder(ctx, conv, H264Command(ctx, subs, conv.fps), msg::kEncodingH264);
    DeleteWork(ctx, work::kMovieVideoH264);
    conv.fps = f.txtSFPS.text();
}

void RunMpeg2Chain(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    std::string format;
    const std::string piece = SubtitlePiece(ctx, &format);
    const RecodeSubtitles subs = PrepareSubtitles(ctx, piece, format);
    if (!PrepareAc3Audio(ctx, conv, piece, false)) return;
    if (conv.audioFormat != "ac3") ctx.Progress(std::string(msg::kEncodingMpeg2Audio));
    conv.fps = MencoderFrameRate(f.txtSFPS.text());
    ctx.Progress(std::string(msg::kEncodingMpeg2));
    ctx.host.Repaint();
    RunEncoder(ctx, conv, Mpeg2Command(ctx, subs, conv.fps), msg::kEncodingMpeg2);
    // Made apart from the intermediates: a source named movie.mkv gives movie.mpg.
    const std::string output = WorkResult(ctx, ResultName(ResultKind::Mpg, conv.baseName));
    Run(ctx, conv,
        Quoted(ctx.ToolPath(tool::kMEncoder)) + " " + Quoted(Work(ctx, work::kMovieMpg)) +
            " -audiofile " + Quoted(Work(ctx, work::kMovieAc3)) +
            " -oac copy -ovc copy -of mpeg -o " + Quoted(output));
    // A missing program stream is reported; the intermediate files then stay for a look.
    if (FinishWithOutput(ctx, output, msg::kConversionDone)) DeleteMpeg2Intermediates(ctx);
}

}  // namespace kestrun
