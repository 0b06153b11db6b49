#pragma once
// Facts that a Matroska file may leave out of its track headers, measured from the stream itself.
#include <cstdint>
#include <optional>
#include <string>

namespace mkvinfo {

struct VideoStreamFacts {
    std::optional<uint64_t> frameDurationNs;  // from the stream's average (or base) frame rate
    std::optional<uint32_t> width, height;
};

// Looks up the video stream whose Matroska TrackNumber is `trackNumber`. Returns empty facts when
// the file cannot be opened or the stream gives no frame rate.
VideoStreamFacts ProbeVideoStream(const std::string& path, const std::string& trackNumber);

}  // namespace mkvinfo
