#pragma once
// Pieces the re-encoding chains share inside the pipeline.
#include <string>

#include "pipeline/recode.h"

namespace kestrun {

struct Context;
struct Conversion;

struct RecodeSubtitles {
    SubtitleCase kind = SubtitleCase::None;
    std::string file;    // the subtitle file the encoder reads
    std::string format;  // "srt", "SSA", "ASS", "sup" or "idx" for an extracted track
};

// The subtitle case and file of an encode; `extractionPiece` is SubtitlePiece's result.
RecodeSubtitles PrepareSubtitles(Context& ctx, const std::string& extractionPiece,
                                 const std::string& format);
// What names the subtitle file on the encoder's command line: `textOption` and the file for text
// (" -sub " or " -ass -sub "), " -sub " for PGS pictures, " -vobsub " and the name without
// ".idx" for VobSub.
std::string SubtitleFilePiece(const RecodeSubtitles& subs, std::string_view textOption);
// " -noskip": the encoder keeps every frame and only relabels it to the one output rate. Empty for
// a source whose rate varies, whose frames are repeated or dropped instead to keep its length.
std::string KeepEveryFrame(const Context& ctx);
// mkvextract tracks SOURCE followed by the subtitle piece.
void ExtractSubtitleTrack(Context& ctx, Conversion& conv, const std::string& piece);
// Brings the audio to work folder "movie.ac3"; false after the audio error was shown. With the
// MPEG-2 rules an AC-3 track is only extracted, without the checkpoint.
bool PrepareAc3Audio(Context& ctx, Conversion& conv, const std::string& piece, bool xvidRules);

}  // namespace kestrun
