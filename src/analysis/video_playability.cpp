#include "analysis/video_playability.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kestrun {
namespace {

// Codecs the PS3 and the Xbox 360 decode in at least one of their containers.
constexpr std::array<std::string_view, 6> kConsoleCodecs = {"h264", "mpeg2video", "mpeg1video",
                                                            "vc1",  "wmv3",       "mpeg4"};

// FFmpeg's H.264 profile numbers a console decodes: Baseline (and Constrained), Main, Extended,
// High.
bool ConsoleH264Profile(int profile) {
    constexpr int kConstrainedFlag = 1 << 9;
    const int base = profile & ~kConstrainedFlag;
    return profile < 0 || base == 66 || base == 77 || base == 88 || base == 100;
}

// The profile's own bit depth or chroma sampling when the pictures could not be read.
std::string H264ProfileReason(int profile) {
    constexpr int kIntraFlag = 1 << 11;
    switch (profile & ~kIntraFlag) {
        case 110:
            return "10-bit H.264";
        case 122:
            return "4:2:2 H.264";
        case 44:
        case 244:
            return "4:4:4 H.264";
        default:
            return {};
    }
}

std::string H264Reason(const media::VideoStreamFacts& video) {
    if (video.bitDepth > 8) return std::to_string(video.bitDepth) + "-bit H.264";
    if (!video.chroma.empty() && video.chroma != "4:2:0") return video.chroma + " H.264";
    if (ConsoleH264Profile(video.profile)) return {};
    if (std::string reason = H264ProfileReason(video.profile); !reason.empty()) return reason;
    return "H.264 " +
           (video.profileName.empty() ? std::to_string(video.profile) : video.profileName);
}

}  // namespace

std::string VideoRecodeReason(const media::VideoStreamFacts& video) {
    if (video.codec == "h264") return H264Reason(video);
    // A stream FFmpeg does not know is left to the checks that know it (a VFW FourCC).
    if (video.codec == "none") return {};
    if (std::find(kConsoleCodecs.begin(), kConsoleCodecs.end(), video.codec) !=
        kConsoleCodecs.end())
        return {};
    return video.name;
}

}  // namespace kestrun
