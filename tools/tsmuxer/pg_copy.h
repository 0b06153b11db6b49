#pragma once
// A PGS subtitle track of a Matroska file carried into the PG stream as it is:
//   S_HDMV/PGS, "/path/film.mkv", video-width=1920,video-height=1080, track=4, fps=23.976, lang=eng
// Every block (one display set) is split into its segments, each one packet at the block's time,
// moved onto the common timeline with the MKV's other tracks (the MKV's first video frame at 0).
// Display sets that end before the film starts are left out; the one on screen when it starts
// (with the display sets of its epoch that it builds on) is shown from 0. A track drawn for
// another frame size than video-width x video-height is fitted to the film (pg_canvas_fit.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pg_canvas_fit.h"
#include "pg_stream.h"

namespace standin::ts {

// The segments of one block: type (1 byte), length (2 bytes, big-endian), payload, one after
// the other. Throws std::invalid_argument for a segment that runs past the end of the block.
std::vector<PgSegment> SplitPgSegments(const uint8_t* data, size_t size);

class PgsTrackSource : public PgSegmentSource {
public:
    // Opens the track; throws std::runtime_error naming the line when the file cannot be read or
    // the track is no PGS track.
    explicit PgsTrackSource(const MetaTrack& line);

private:
    bool QueueMore() override;
    void QueueSet(int64_t pts, std::vector<PgSegment>& set);
    void QueueEarlySets();

    InputPtr input_;
    int stream_ = -1;
    int64_t origin_ = 0;    // the MKV's first video frame, 90 kHz
    int64_t lastPts_ = 0;   // display sets keep their order
    bool started_ = false;  // a display set at or after the film's start was queued
    std::vector<std::vector<PgSegment>> early_;  // before the start, from the last epoch on
    PacketPtr packet_ = NewPacket();
    PgCanvasFit fit_{canvas_.videoWidth, canvas_.videoHeight};
};

}  // namespace standin::ts
