#pragma once
// Global motion compensation and quarter-pixel motion of MPEG-4 Part 2 video, read from the video
// object layer header: the two coding tools the consoles' decoders may refuse.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kestrun {

struct Mpeg4VolFlags {
    bool gmc = false;
    bool qpel = false;
};

// Searches `data` (a codec's extra data or a frame) for the first video object layer header;
// nothing when there is none or it is cut short or of a shape this reader does not follow.
std::optional<Mpeg4VolFlags> ReadMpeg4VolFlags(const uint8_t* data, size_t size);

}  // namespace kestrun
