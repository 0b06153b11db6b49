#pragma once
// Facts that a Matroska file may leave out of its track headers, measured from the stream itself.
#include <cstdint>
#include <optional>
#include <string>

namespace standin::mkvinfo {

struct VideoStreamFacts {
    std::optional<uint64_t> frameDurationNs;  // from the stream's base (or average) frame rate
    std::optional<uint32_t> width, height;
};

// Measures the `videoOrdinal`-th video stream of the file (counted from 0, in track order).
// Returns empty facts when the file cannot be opened or has no such stream.
VideoStreamFacts ProbeVideoStream(const std::string& path, size_t videoOrdinal);

}  // namespace standin::mkvinfo
