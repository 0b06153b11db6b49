#include "media/track_starts.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "media/libav_handles.h"
#include "media/matroska_header.h"
#include "media/stream_facts.h"

namespace kestrun::media {
namespace {

// A stream's earliest presentation time lies within its first packets (B-frames come a few
// packets after the picture they precede); reading stops once every stream has this many, or at
// the limits below, which only a file without some of its tracks' packets reaches.
constexpr int kPacketsPerStream = 32;
constexpr int kMaxPackets = 20000;
constexpr std::int64_t kMaxBytes = 64 << 20;

struct WantedStream {
    int trackNumber = 0;
    std::optional<std::int64_t> earliest;  // in the stream's time base
    int packets = 0;
};

void ReadEarliestTimes(AVFormatContext& format, std::map<int, WantedStream>& wanted) {
    for (unsigned i = 0; i < format.nb_streams; ++i)
        if (!wanted.count(static_cast<int>(i))) format.streams[i]->discard = AVDISCARD_ALL;
    PacketPtr packet(av_packet_alloc());
    if (!packet) return;
    std::int64_t bytes = 0;
    for (int count = 0; count < kMaxPackets && bytes < kMaxBytes; ++count) {
        if (av_read_frame(&format, packet.get()) < 0) break;
        bytes += packet->size;
        const auto it = wanted.find(packet->stream_index);
        const std::int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (it != wanted.end() && time != AV_NOPTS_VALUE) {
            WantedStream& stream = it->second;
            stream.earliest = std::min(stream.earliest.value_or(time), time);
            ++stream.packets;
        }
        av_packet_unref(packet.get());
        if (std::all_of(wanted.begin(), wanted.end(),
                        [](const auto& w) { return w.second.packets >= kPacketsPerStream; }))
            break;
    }
}

}  // namespace

std::map<int, std::int64_t> ReadTrackStartsMs(const std::string& path) {
    std::map<int, std::int64_t> starts;
    const auto entries = ReadMatroskaTrackEntries(path);
    if (entries.empty()) return starts;
    av_log_set_level(AV_LOG_QUIET);
    const FormatContextPtr format = OpenLocalSource(path);
    if (!format) return starts;
    std::map<int, WantedStream> wanted;
    for (const auto& [index, track] : MatroskaStreamTracks(*format, entries))
        wanted[index].trackNumber = track;
    if (wanted.empty()) return starts;
    ReadEarliestTimes(*format, wanted);
    for (const auto& [index, stream] : wanted) {
        if (!stream.earliest) continue;
        const double seconds =
            static_cast<double>(*stream.earliest) * av_q2d(format->streams[index]->time_base);
        starts[stream.trackNumber] = std::llround(seconds * 1000.0);
    }
    return starts;
}

}  // namespace kestrun::media
