#include "support/playlist_marks.h"

namespace kestrun::test {

std::vector<double> PlaylistMarkSeconds(const std::vector<uint8_t>& mpls) {
    auto u32 = [&](size_t at) {
        return (uint32_t{mpls.at(at)} << 24) | (uint32_t{mpls.at(at + 1)} << 16) |
               (uint32_t{mpls.at(at + 2)} << 8) | mpls.at(at + 3);
    };
    const uint32_t inTime = u32(u32(8) + 24);
    const uint32_t marks = u32(12);
    const int count = (mpls.at(marks + 4) << 8) | mpls.at(marks + 5);
    std::vector<double> seconds;
    for (int i = 0; i < count; ++i)
        seconds.push_back((double(u32(marks + 6 + 14 * i + 4)) - inTime) / 45000.0);
    return seconds;
}

}  // namespace kestrun::test
