#pragma once
// CLIPINF/NNNNN.clpi: the facts of one stream file that a player needs to play and seek in it:
// its size in source packets, its time span, its streams and the EP map, which gives for every
// key frame of the video its PTS and the source packet where it starts.
#include <cstdint>
#include <vector>

#include "bdmv_types.h"

namespace standin::ts {

inline constexpr uint16_t kPmtPid = 0x0100;
inline constexpr uint32_t kTsRecordingRate = 6000000;  // bytes per second (48 Mbit/s)

// `pcrPid` is the PID whose packets carry the PCR; `videoPid` the one the EP map describes.
std::vector<uint8_t> ClipInfoClpi(const ClipFacts& clip,
                                  const std::vector<StreamAttributes>& streams, uint16_t pcrPid,
                                  uint16_t videoPid);

}  // namespace standin::ts
