#pragma once
// The length a track declares for itself. Matroska writers (mkvmerge, FFmpeg) store it as the
// track's DURATION tag; the decoder compares it with what it could decode, because the demuxer
// passes over a damaged stretch of the file without reporting it.
#include <optional>
#include <string_view>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kestrun::media {

// Audio may fall short of the declared length by this much before the source counts as damaged
// (single bad frames are concealed; a lost cluster is seconds).
inline constexpr double kMissingAudioToleranceSeconds = 1.0;

// "01:02:03.500000000" in seconds; nullopt for anything else.
std::optional<double> ParseClockDuration(std::string_view text);
// The stream's DURATION tag in seconds, when it has a valid one.
std::optional<double> DeclaredTrackSeconds(const AVStream& stream);

}  // namespace kestrun::media
