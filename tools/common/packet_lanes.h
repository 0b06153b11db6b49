#pragma once
// Interleaving several packet sources: one packet read ahead from each, and the lane whose packet
// comes first in decode time.
#include <vector>

extern "C" {
#include <libavutil/mathematics.h>
}

#include "common/lib_names.h"
#include "common/packet_source.h"
#include "media/libav_handles.h"

namespace standin {

struct Lane {
    PacketSource* source;
    PacketPtr packet = NewPacket();
    bool ended = false;

    void Advance() { ended = !source->Next(*packet); }
    double Seconds() const { return packet->dts * av_q2d(packet->time_base); }
};

// The lane with the earliest packet; nullptr when every lane has ended.
inline Lane* EarliestLane(std::vector<Lane>& lanes) {
    Lane* earliest = nullptr;
    for (Lane& lane : lanes) {
        if (lane.ended) continue;
        if (!earliest || av_compare_ts(lane.packet->dts, lane.packet->time_base,
                                       earliest->packet->dts, earliest->packet->time_base) < 0)
            earliest = &lane;
    }
    return earliest;
}

}  // namespace standin
