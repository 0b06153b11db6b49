#pragma once
// Writes the streams of several sources into one MP4 file. Packets are taken from the sources in
// decode-time order, so each source is read once, front to back, and little is held in memory.
// The file is written under a temporary name beside the destination and renamed when complete;
// on failure the destination is left as it was.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/packet_source.h"

namespace standin {

// The index (moov) goes before the media, as players reading over a network need it: room for it
// is kept ahead, sized from the sources' headers, and a file whose index outgrew that room is
// rewritten once. `indexReservation` > 0 sets the room instead of the estimate.
// Throws std::runtime_error with a message naming the file that failed.
void WriteMp4(const std::vector<std::unique_ptr<PacketSource>>& sources,
              const std::string& destination, int64_t indexReservation = 0);

}  // namespace standin
