#pragma once
// Which stream of an opened source holds the audio track the window chose.
#include <string>

#include "media/libav_handles.h"

namespace kestrun {

// Index of the audio stream for `trackNumber`: in a Matroska file the track whose TrackNumber
// it is (read from the file at `path`), elsewhere the stream whose container id it is. When
// `trackNumber` is 0 or names no audio track: the first audio stream. -1 when there is none.
int SelectAudioStream(const AVFormatContext& format, const std::string& path, int trackNumber);

}  // namespace kestrun
