// Bringing the source's audio to what each container needs on the consoles: AAC for the MP4
// chain, AC-3 (or the source's own track) for the AVCHD and M2TS chains. Decoders write
// movie.wav, the 25-frames stage adapts its tempo, encoders write the final audio.
#include <algorithm>

#include "analysis/read_info.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "platform/file_api.h"
#include "platform/tool_runner.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

bool Is(const Conversion& conv, std::initializer_list<const char*> formats) {
    return std::any_of(formats.begin(), formats.end(),
                       [&](const char* f) { return conv.audioFormat == f; });
}

bool StereoTarget(const Context& ctx) {
    return ctx.form.cmbPlatform.selectedIndex() == 2 || ctx.form.b360;
}

// A track decoded in-process keeps its channels as far as the target takes them (a mono or
// stereo source is not spread over six); the six formats keep the fixed counts.
std::string AacOptions(const Context& ctx, const Conversion& conv) {
    const int most = StereoTarget(ctx) ? 2 : 6;
    const int channels =
        DecodesInProcess(conv) && conv.wavChannels > 0 ? std::min(conv.wavChannels, most) : most;
    return " -acodec libfaac -ac " + std::to_string(channels) + " -ab 224kb ";
}

void AftenToAc3(Context& ctx, Conversion& conv) {
    Run(ctx, conv,
        Quoted(conv.aften) + " " + Quoted(Work(ctx, work::kMovieWav)) + " -b 640 " +
            Quoted(Work(ctx, work::kMovieAc3)));
}

void ExtractAudioTrack(Context& ctx, Conversion& conv) {
    Run(ctx, conv,
        Quoted(conv.mkvextract) + " tracks " + Quoted(TrimmedSource(ctx)) + " " +
            ctx.form.txtS2.text() + ":" + Quoted(WorkAudio(ctx, conv)));
}

std::string ValdecToWav(const Context& ctx, const Conversion& conv, bool stereo) {
    return Quoted(conv.valdec) + " " + Quoted(WorkAudio(ctx, conv)) + " -wav " +
           Quoted(Work(ctx, work::kMovieWav)) +
           (stereo ? " -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8 "
                   : " -spk:6 -fmt:0 -drc+ -gain:8 -drc_power:8 ");
}

// When the in-process decoder left no WAV: take the track out and decode it with a tool.
void BackupDecode(Context& ctx, Conversion& conv) {
    ctx.Progress(std::string(msg::kBackupExtraction));
    ExtractAudioTrack(ctx, conv);
    if (conv.audioFormat == "aac") {
        Run(ctx, conv,
            Quoted(ctx.ToolPath(tool::kFaad)) + " -d " + Quoted(Work(ctx, work::kMovieAac)) +
                " -o " + Quoted(Work(ctx, work::kMovieWav)));
    } else if (Is(conv, {"mp3", "mp2"})) {
        Run(ctx, conv,
            Quoted(conv.ffmpeg) + " -i " + Quoted(WorkAudio(ctx, conv) + " ") +
                " -acodec pcm_s16le " + Quoted(Work(ctx, work::kMovieWav)));
    } else {
        Run(ctx, conv, ValdecToWav(ctx, conv, ctx.form.b360));
    }
    DeleteWork(ctx, "movie." + conv.audioFormat);
}

// Which encoding row of the MP4 chain applies.
enum class Mp4AudioRoute { FromExtracted, KeepExtractedAac, NeroFromWav, FFmpegFromWav };

Mp4AudioRoute ChooseMp4Route(const Context& ctx, const Conversion& conv) {
    const bool safeSync = ctx.form.chkFF.value() == 1;
    const Mp4AudioRoute fromWav =
        conv.neroFound ? Mp4AudioRoute::NeroFromWav : Mp4AudioRoute::FFmpegFromWav;
    if (DecodesInProcess(conv)) return fromWav;
    // Safe Sync with AAC would read and write movie.aac in one step and then delete it. The
    // decoded WAV is encoded instead where there is one (Xbox 360), else the extracted AAC stays.
    if (safeSync && conv.audioFormat == "aac")
        return FileFound(Work(ctx, work::kMovieWav)) ? fromWav : Mp4AudioRoute::KeepExtractedAac;
    if (conv.audioFormat == "ogg" || (safeSync && conv.audioFormat != "dts"))
        return Mp4AudioRoute::FromExtracted;
    if (conv.audioFormat == "aac" && !ctx.form.b360) return Mp4AudioRoute::KeepExtractedAac;
    return fromWav;
}

void SpeedUpTo25Fps(Context& ctx, Conversion& conv) {
    std::string digits = ctx.form.txtSFPS.text();
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const long r = std::strtol(digits.c_str(), nullptr, 10);
    conv.fps = "25.000";
    // A delay still to be added shrinks with the sound it precedes.
    if (r > 0) conv.audioDelayMs = conv.audioDelayMs * r / 25000;
    Run(ctx, conv,
        Quoted(conv.soundstretch) + " " + Quoted(Work(ctx, work::kMovieWav)) + " " +
            Quoted(Work(ctx, work::kMovie2Wav)) + " -pitch=-1 ");
    DeleteWork(ctx, work::kMovieWav);
    Run(ctx, conv,
        Quoted(conv.besweet) + " -core( -input " + Quoted(Work(ctx, work::kMovie2Wav)) +
            " -2ch -output " + Quoted(Work(ctx, work::kMovieWav)) + " ) -ota( -r " +
            std::to_string(r) + " 25000 ) ");
    DeleteWork(ctx, work::kMovie2Wav);
}

void ShowAacError(Context& ctx) {
    ShowError(ctx, std::string(msg::kAacError), std::string(msg::kAudioErrorTitle));
}

}  // namespace

void ConvertAudioForMp4(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    const bool safeSync = f.chkFF.value() == 1;
    // Safe Sync encodes the extracted track with FFmpeg, but never DTS: DTS is decoded as
    // without it (a DTS source keeps the box ticked from an earlier AC-3 source).
    // A track no button names has no backup decoder: the decoder's error goes to the log, and
    // the AAC check below reports the missing audio.
    if (DecodesInProcess(conv)) {
        DecodeAc3ToWav(ctx, conv);
    } else if ((!safeSync && Is(conv, {"ac3", "mp3", "mp2"})) || conv.audioFormat == "dts" ||
               (conv.audioFormat == "aac" && f.b360)) {
        if (!DecodeAc3ToWav(ctx, conv) || !FileFound(Work(ctx, work::kMovieWav)))
            BackupDecode(ctx, conv);
    }

    const Mp4AudioRoute route = ChooseMp4Route(ctx, conv);
    // A re-encode extracts no streams before it: the routes that mux the track as stored in the
    // MKV take it out here, or MP4Box would find no sound to add.
    const bool readsStoredTrack =
        route == Mp4AudioRoute::FromExtracted || route == Mp4AudioRoute::KeepExtractedAac;
    if (conv.h264Recode && readsStoredTrack && !FileFound(WorkAudio(ctx, conv)))
        ExtractAudioTrack(ctx, conv);
    const bool wavIsMuxed =
        route == Mp4AudioRoute::NeroFromWav || route == Mp4AudioRoute::FFmpegFromWav;
    // The tempo change only makes sense on the audio that is muxed; otherwise the video keeps
    // its own frame rate so that picture and sound stay together.
    // Nor can a source whose frame rate is unknown be sped up from it.
    // A film of 25 fps or more would be slowed down: only slower films are sped up.
    if (f.chk25.value() == 1 && f.txtSFPS.text() != "25.000") {
        if (FrameRateKnown(f.txtSFPS.text()) && !SpeedsUpTo25Fps(f.txtSFPS.text())) {
            const std::string note = std::string(msg::kFps25NotBelow25) + f.txtSFPS.text();
            ctx.Progress(note);
            ctx.Log(note);
        } else if (wavIsMuxed && FrameRateKnown(f.txtSFPS.text()) &&
                   FileFound(Work(ctx, work::kMovieWav))) {
            SpeedUpTo25Fps(ctx, conv);
        } else {
            const std::string note = std::string(msg::kFps25Kept) + f.txtSFPS.text();
            ctx.Progress(note);
            ctx.Log(note);
        }
    }

    ctx.Progress(std::string(msg::kEncodingAudio));
    ctx.host.DoEvents();
    switch (route) {
        case Mp4AudioRoute::FromExtracted:
            Run(ctx, conv,
                Quoted(conv.ffmpeg) + " -f " + conv.audioFormat + " -i " +
                    Quoted(WorkAudio(ctx, conv)) + AacOptions(ctx, conv) +
                    Quoted(Work(ctx, work::kMovieAac)));
            DeleteWork(ctx, "movie." + conv.audioFormat);
            break;
        case Mp4AudioRoute::KeepExtractedAac:
            break;
        case Mp4AudioRoute::NeroFromWav: {
            const std::string neroMp4 = Mp4OutputPath(ctx, conv);
            Run(ctx, conv,
                Quoted(conv.neroPath) + " -lc -br 320000 -if " +
                    Quoted(Work(ctx, work::kMovieWav)) + " -of  " + Quoted(neroMp4));
            DeleteWork(ctx, work::kMovieWav);
            // The Nero encoder writes the final MP4 itself, so that is the file to look for.
            conv.neroWroteMp4 =
                FileSizeForOutput(neroMp4) > 0 && FileSizeForOutput(neroMp4) != kInvalidFileSize;
            if (!conv.neroWroteMp4) ShowAacError(ctx);
            break;
        }
        case Mp4AudioRoute::FFmpegFromWav:
            Run(ctx, conv,
                Quoted(conv.ffmpeg) + " -f wav -i " + Quoted(Work(ctx, work::kMovieWav)) +
                    AacOptions(ctx, conv) + Quoted(Work(ctx, work::kMovieAac)));
            DeleteWork(ctx, work::kMovieWav);
            if (!FileFound(Work(ctx, work::kMovieAac))) ShowAacError(ctx);
            break;
    }
}

void ConvertAudioForM2ts(Context& ctx, Conversion& conv) {
    ctx.Progress(std::string(msg::kConvertingAudio));
    ctx.host.DoEvents();
    if (conv.audioFormat == "ac3") return;
    if (conv.audioFormat == "dts") {
        Run(ctx, conv,
            Quoted(conv.valdec) + " " + Quoted(Work(ctx, work::kMovieDts)) + " -wav " +
                Quoted(Work(ctx, work::kMovieWav)) + " -fmt:0");
        DeleteWork(ctx, work::kMovieDts);
    } else if (conv.audioFormat == "aac") {
        Run(ctx, conv,
            Quoted(conv.ffmpeg) + " -i " + Quoted(Work(ctx, work::kMovieAac)) +
                " -acodec pcm_s16le " + Quoted(Work(ctx, work::kMovieWav)));
        DeleteWork(ctx, work::kMovieAac);
    } else if (Is(conv, {"mp3", "mp2", "ogg"}) || DecodesInProcess(conv)) {
        DecodeAc3ToWav(ctx, conv);
    }
    AftenToAc3(ctx, conv);
    DeleteWork(ctx, work::kMovieWav);
}

bool AvchdConvertsAudio(const Conversion& conv) {
    return Is(conv, {"ogg", "aac", "mp3", "mp2"}) || DecodesInProcess(conv);
}

void ConvertAudioForAvchd(Context& ctx, Conversion& conv) {
    if (!AvchdConvertsAudio(conv)) return;
    DecodeAc3ToWav(ctx, conv);
    AftenToAc3(ctx, conv);
    DeleteWork(ctx, work::kMovieWav);
}

}  // namespace kestrun
