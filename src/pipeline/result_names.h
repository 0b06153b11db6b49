#pragma once
// The names a conversion gives its result in the output folder, made from the source's file
// name. The chains write under them and the folder batch looks for them, so that a source whose
// result is already there is recognised.
#include <string>

namespace kestrun {

class Form1;

enum class ResultKind {
    Mp4,          // the base name with every '.' made '_', then ".mp4"
    AvchdFolder,  // a folder named like the base name
    Mpg,          // ".mpg": an M2TS stream, the MPEG-2 re-encode or the VOB repack
    Avi,          // ".avi": the Xvid re-encode
};

// The source's file name without its last four characters (".mkv"); empty when that leaves
// nothing.
std::string ResultBaseName(const std::string& sourcePath);
// The result's name (no folder) for a base name.
std::string ResultName(ResultKind kind, const std::string& baseName);
// The kind that the window's container and re-encode choices make of a source whose video is
// copied or re-encoded to H.264.
ResultKind ChosenResultKind(const Form1& f);
// The name (no folder) of the result that the conversion of an analysed source writes, as its
// chain chooses: the ".mpg" of the VOB repack for MPEG-2 video (`videoCodec` "mpeg2") whatever
// the choices, otherwise the chosen kind's. Empty where no result carries the source's name: VC-1
// video that is neither re-encoded nor made into an AVCHD folder leaves its streams for the user.
std::string SourceResultName(const Form1& f, const std::string& videoCodec,
                             const std::string& sourcePath);

}  // namespace kestrun
