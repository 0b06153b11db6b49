#pragma once
// Where the tracks of a source file sit on the common timeline (its first shown video frame at 0),
// and which of its streams a meta line's `track=` names.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "common/lib_names.h"
#include "media/libav_handles.h"

namespace standin::ts {

// The presentation time of the file's first video frame in `unit`; nullopt when the file has no
// video stream with a known start.
std::optional<int64_t> VideoStart(const AVFormatContext& input, AVRational unit);

// The stream index that track `number` names: the legacy Matroska track number (read from the
// file's track list, or where that does not match FFmpeg's streams one by one, through mkvmerge's
// listing, whose track IDs follow FFmpeg's stream order), or a 1-based stream number in other
// files; -1 when there is no such track. Throws std::runtime_error naming the file when mkvmerge
// cannot list it.
int StreamOfTrackNumber(AVFormatContext& input, const std::string& path, long long number);

// The subtitle stream that track `number` names, when its codec is one of `codecs`; throws
// std::runtime_error "PATH has no track N" or "PATH track N is no <kind>".
int SubtitleStreamOfTrack(AVFormatContext& input, const std::string& path, long long number,
                          std::initializer_list<AVCodecID> codecs, const std::string& kind);

}  // namespace standin::ts
