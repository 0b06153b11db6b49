#pragma once
// Big-endian whole numbers in the headers of the files a result is made of (MP4 boxes, Blu-ray
// playlists).
#include <cstddef>
#include <cstdint>

namespace kestrun {

// The `count` bytes at `bytes` (at most 8) as one big-endian number.
inline std::uint64_t BigEndianValue(const unsigned char* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

}  // namespace kestrun
