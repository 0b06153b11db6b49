// An MKV that already holds MPEG-2 video: the video copied unchanged into an MPEG program stream
// (VOB flavour), which both consoles play, with the chosen audio track. AC-3, MP2 and MP3 are
// copied; any other sound (DTS, AAC, Vorbis, FLAC, E-AC-3, ...) is decoded and encoded to AC-3
// first, as the AVCHD and M2TS chains do.
#include <cstdlib>

#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/recode.h"
#include "pipeline/result_names.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

// FFmpeg's stream index of a Matroska track number (the tracks keep their order).
std::string StreamOfTrack(const std::string& track) {
    const long number = std::strtol(track.c_str(), nullptr, 10);
    return number > 0 ? std::to_string(number - 1) : std::string();
}

// Decodes the chosen track to movie.wav and encodes it to movie.ac3; false when either failed.
bool EncodeChosenTrackToAc3(Context& ctx, Conversion& conv) {
    ctx.Progress(std::string(msg::kConvertingToAc3));
    if (!DecodeAc3ToWav(ctx, conv)) return false;
    Run(ctx, conv,
        Quoted(conv.aften) + " " + Quoted(Work(ctx, work::kMovieWav)) + " -b 640 " +
            Quoted(Work(ctx, work::kMovieAc3)));
    DeleteWork(ctx, work::kMovieWav);
    const std::int64_t size = FileSizeForOutput(Work(ctx, work::kMovieAc3));
    return size > 0 && size != kInvalidFileSize;
}

bool VobCarriesAudio(std::string_view audioFormat) {
    return audioFormat == "ac3" || audioFormat == "mp2" || audioFormat == "mp3";
}

}  // namespace

void RepackVob(Context& ctx, Conversion& conv) {
    const std::string& track = ctx.form.txtS2.text();
    const std::string stream = StreamOfTrack(track);
    const bool convert = !stream.empty() && !VobCarriesAudio(conv.audioFormat);
    if (convert) {
        DeleteWork(ctx, work::kMovieAc3);
        if (!EncodeChosenTrackToAc3(ctx, conv)) {
            ctx.Progress(std::string(msg::kConversionErrorRecode));
            Report(ctx, std::string(msg::kAudioExtractionError),
                   std::string(msg::kAudioErrorTitle));
            return;
        }
    }
    ctx.Progress(std::string(msg::kRepackingVob));
    const std::string output = WorkResult(ctx, ResultName(ResultKind::Mpg, conv.baseName));
    // The first video track, and the chosen audio track or its AC-3 (none when the source has
    // no audio).
    std::string inputs = " -i " + Quoted(ctx.form.strFullname);
    std::string maps = " -map 0:v:0";
    if (convert) {
        inputs += " -i " + Quoted(Work(ctx, work::kMovieAc3));
        maps += " -map 1:a:0";
    } else if (!stream.empty()) {
        maps += " -map 0:" + stream;
    }
    Run(ctx, conv,
        Quoted(conv.ffmpeg) + " -threads 4" + inputs + maps +
            " -vcodec copy -acodec copy -f vob -copyts -y " + Quoted(output) + " -bug ms");
    if (!FinishWithOutput(ctx, output, msg::kConversionDone)) return;
    for (std::string_view name :
         {work::kMovieWav, work::kMovieAvi, work::kMovieWma, work::kMovieAc3})
        DeleteWork(ctx, name);
}

}  // namespace kestrun
