#pragma once
// What `mmcl --info` reports about the MPEG-4 Part 2 video of an AVI.
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/lib_names.h"
#include "media/avi_riff.h"
#include "media/mpeg4_vol.h"

namespace standin::mmcl {

// A file whose video cannot be read as MPEG-4 Part 2; the message is shown after "Error: ".
class VideoInfoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct VideoInfo {
    std::string fourCc;
    mpeg4::VolHeader vol;  // of the first video object layer
    std::vector<std::string> userData;
    // VOP counts by type: I, P, B, S, N (not coded).
    std::array<uint64_t, 5> vopCounts{};
};

// Reads the headers (format extra data and the first frame) and the type of every VOP.
VideoInfo ReadVideoInfo(ByteSource& avi);

// The report block, from "---------- Video Info ----------" to the closing dashes.
std::string FormatVideoInfo(const VideoInfo& info);

}  // namespace standin::mmcl
