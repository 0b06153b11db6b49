#pragma once
// The H.264 sequence parameter sets of a container's first H.264 video track: from the track's
// codec private data (avcC, or an Annex B header block), else from its first frames.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrun::media {

struct VideoParameterSets {
    int streamIndex = -1;
    std::vector<std::vector<uint8_t>> sps;  // NAL units, header byte first; never empty
};

// Throws std::runtime_error with a message for a file that cannot be opened or read, that has
// no H.264 video track (the message names the codec it found), or whose track yields no SPS.
VideoParameterSets ReadVideoParameterSets(const std::string& path);

}  // namespace kestrun::media
