#pragma once
// PLAYLIST/NNNNN.mpls: one title playing its clips in order (one PlayItem per clip, joined
// seamlessly), the stream table of the clips, and the chapter marks.
#include <cstdint>
#include <string>
#include <vector>

#include "bdmv_types.h"

namespace standin::ts {

struct PlayItem {
    std::string clipName;  // five digits, "00000"
    uint32_t inTime = 0;   // 45 kHz
    uint32_t outTime = 0;  // 45 kHz
};

struct ChapterMark {
    uint16_t playItem = 0;
    uint32_t time = 0;  // 45 kHz, in the clip's own time base
};

std::vector<uint8_t> PlaylistMpls(const std::vector<PlayItem>& items,
                                  const std::vector<StreamAttributes>& streams,
                                  const std::vector<ChapterMark>& marks);

}  // namespace standin::ts
