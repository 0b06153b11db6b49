#include "pg_copy.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "source_tracks.h"

namespace standin::ts {
namespace {

constexpr AVRational k90kHz{1, 90000};
constexpr uint8_t kEpochStart = 0x80, kAcquisitionPoint = 0x40;
// Display sets kept from before the film's start; a real epoch holds a handful.
constexpr size_t kMaxEarlySets = 256;

// Whether the set starts anew (an epoch start or an acquisition point): nothing before it is
// needed to show it.
bool StartsAnew(const std::vector<PgSegment>& set) {
    for (const PgSegment& segment : set)
        if (segment.type == kPgComposition && segment.payload.size() > 7)
            return (segment.payload[7] & (kEpochStart | kAcquisitionPoint)) != 0;
    return false;
}

std::string TimeText(int64_t ticks90k) {
    const int64_t ms = ticks90k / 90;
    char text[32];
    std::snprintf(text, sizeof text, "%s%02lld:%02lld:%02lld.%03lld", ms < 0 ? "-" : "",
                  static_cast<long long>(std::llabs(ms) / 3600000),
                  static_cast<long long>(std::llabs(ms) / 60000 % 60),
                  static_cast<long long>(std::llabs(ms) / 1000 % 60),
                  static_cast<long long>(std::llabs(ms) % 1000));
    return text;
}

}  // namespace

std::vector<PgSegment> SplitPgSegments(const uint8_t* data, size_t size) {
    std::vector<PgSegment> segments;
    size_t pos = 0;
    while (pos < size) {
        if (size - pos < 3)
            throw std::invalid_argument("a PG segment header cut short at byte " +
                                        std::to_string(pos) + " of a " + std::to_string(size) +
                                        "-byte block");
        const size_t length = (size_t{data[pos + 1]} << 8) | data[pos + 2];
        if (length > size - pos - 3)
            throw std::invalid_argument("a PG segment of " + std::to_string(length) +
                                        " bytes at byte " + std::to_string(pos) +
                                        " runs past the " + "end of its " + std::to_string(size) +
                                        "-byte block");
        PgSegment segment;
        segment.type = data[pos];
        segment.payload.assign(data + pos + 3, data + pos + 3 + length);
        segments.push_back(std::move(segment));
        pos += 3 + length;
    }
    return segments;
}

PgsTrackSource::PgsTrackSource(const MetaTrack& line) : PgSegmentSource(line) {
    SubtitleTrackInput opened = OpenSubtitleTrackOfLine(line, AV_CODEC_ID_HDMV_PGS_SUBTITLE, "PGS");
    input_ = std::move(opened.input);
    stream_ = opened.stream;
    origin_ = VideoStart(*input_, k90kHz).value_or(0);
}

void PgsTrackSource::QueueSet(int64_t pts, std::vector<PgSegment>& set) {
    fit_.Apply(set);
    for (PgSegment& segment : set) Queue(pts, std::move(segment));
}

void PgsTrackSource::QueueEarlySets() {
    for (auto& set : early_) QueueSet(0, set);
    early_.clear();
}

bool PgsTrackSource::QueueMore() {
    const AVStream& stream = *input_->streams[stream_];
    for (;;) {
        const std::optional<int64_t> time = NextTimedPacket(*input_, stream_, *packet_, line_);
        if (!time) {
            if (early_.empty()) return false;
            QueueEarlySets();  // the last display set is on screen at the start
            return true;
        }
        const int64_t pts = av_rescale_q(*time, stream.time_base, k90kHz) - origin_;
        std::vector<PgSegment> set;
        try {
            set = SplitPgSegments(packet_->data, static_cast<size_t>(packet_->size));
        } catch (const std::invalid_argument& e) {
            throw MetaLineError(line_, line_.path + " track " + *line_.Param("track") + " at " +
                                           TimeText(pts + origin_) + ": " + e.what());
        }
        if (set.empty()) continue;
        if (pts < 0 && !started_) {
            if (StartsAnew(set)) early_.clear();
            if (early_.size() == kMaxEarlySets) early_.erase(early_.begin());
            early_.push_back(std::move(set));
            continue;
        }
        if (!early_.empty()) QueueEarlySets();
        started_ = true;
        lastPts_ = std::max(lastPts_, pts);
        QueueSet(lastPts_, set);
        return true;
    }
}

}  // namespace standin::ts
