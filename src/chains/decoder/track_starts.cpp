#include "chains/decoder/track_starts.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "chains/decoder/libav_handles.h"
#include "chains/decoder/matroska_header.h"

namespace kestrun {
namespace {

constexpr std::uint64_t kMatroskaTrackTypeVideo = 1;
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

// Stream index -> the track it shows; tracks libavformat made no stream of are not matched.
std::map<int, WantedStream> MatchStreams(const AVFormatContext& format,
                                         const std::vector<MatroskaTrackEntry>& entries) {
    std::vector<int> videoStreams;
    std::vector<int> audioStreams;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVMediaType type = format.streams[i]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) videoStreams.push_back(static_cast<int>(i));
        if (type == AVMEDIA_TYPE_AUDIO) audioStreams.push_back(static_cast<int>(i));
    }
    std::map<int, WantedStream> wanted;
    const auto firstVideo =
        std::find_if(entries.begin(), entries.end(),
                     [](const MatroskaTrackEntry& e) { return e.type == kMatroskaTrackTypeVideo; });
    if (firstVideo != entries.end() && !videoStreams.empty())
        wanted[videoStreams.front()].trackNumber = static_cast<int>(firstVideo->number);
    // The same matching the decoder trusts: one audio stream per audio entry, in file order.
    if (CountDemuxedAudioTracks(entries) == static_cast<int>(audioStreams.size())) {
        for (const MatroskaTrackEntry& entry : entries) {
            const auto ordinal = DemuxedAudioOrdinal(entries, entry.number);
            if (entry.type == kMatroskaTrackTypeAudio && ordinal)
                wanted[audioStreams[static_cast<size_t>(*ordinal)]].trackNumber =
                    static_cast<int>(entry.number);
        }
    }
    return wanted;
}

FormatContextPtr OpenSource(const std::string& path) {
    AVFormatContext* context = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + path;
    const int result = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    return FormatContextPtr(result < 0 ? nullptr : context);
}

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
    const FormatContextPtr format = OpenSource(path);
    if (!format) return starts;
    std::map<int, WantedStream> wanted = MatchStreams(*format, entries);
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

}  // namespace kestrun
