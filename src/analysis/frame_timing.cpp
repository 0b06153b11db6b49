#include "analysis/frame_timing.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "media/stream_facts.h"

namespace kestrun {
namespace {

// Matroska keeps timestamps in milliseconds: 23.976 fps steps 41 or 42 ms for 41.708.
constexpr double kRoundingSeconds = 0.0015;
// A step may also be a little off the declared one where the writer rounded it (5 %).
constexpr double kRelativeRounding = 0.05;
constexpr int kOffStepsPerHundred = 1;
constexpr int kFewestOffSteps = 2;

}  // namespace

bool VariableFrameTiming(std::vector<std::int64_t> starts, double timeBase,
                         std::optional<double> frameSeconds) {
    if (starts.size() < 3 || timeBase <= 0) return false;
    std::sort(starts.begin(), starts.end());
    std::vector<double> steps;
    for (size_t i = 1; i < starts.size(); ++i)
        if (starts[i] != starts[i - 1]) steps.push_back((starts[i] - starts[i - 1]) * timeBase);
    if (steps.empty()) return false;
    if (!frameSeconds || *frameSeconds <= 0) {
        std::map<long long, int> counts;  // by tenths of a millisecond
        for (double step : steps) ++counts[std::llround(step * 10000)];
        const auto common =
            std::max_element(counts.begin(), counts.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        frameSeconds = common->first / 10000.0;
    }
    const double allowed = std::max(kRoundingSeconds, *frameSeconds * kRelativeRounding);
    const auto off = std::count_if(steps.begin(), steps.end(), [&](double step) {
        return std::fabs(step - *frameSeconds) > allowed;
    });
    return off >= kFewestOffSteps &&
           off * 100 > static_cast<long>(steps.size()) * kOffStepsPerHundred;
}

std::optional<bool> HasVariableFrameRate(const std::string& path) {
    av_log_set_level(AV_LOG_QUIET);
    const media::FormatContextPtr format = media::OpenLocalSource(path);
    if (!format) return std::nullopt;
    int video = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& st = *format->streams[i];
        if (video < 0 && st.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(st.disposition & AV_DISPOSITION_ATTACHED_PIC))
            video = static_cast<int>(i);
        else
            format->streams[i]->discard = AVDISCARD_ALL;
    }
    if (video < 0) return std::nullopt;
    const AVStream& stream = *format->streams[video];
    std::optional<double> frameSeconds;
    // The Matroska demuxer gives the track's default duration as the average rate.
    if (stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0)
        frameSeconds = av_q2d(av_inv_q(stream.avg_frame_rate));
    std::vector<std::int64_t> starts;
    media::PacketPtr packet(av_packet_alloc());
    if (!packet) return std::nullopt;
    while (static_cast<int>(starts.size()) < kTimedFrames &&
           av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == video) {
            const std::int64_t start = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (start != AV_NOPTS_VALUE) starts.push_back(start);
        }
        av_packet_unref(packet.get());
    }
    return VariableFrameTiming(std::move(starts), av_q2d(stream.time_base), frameSeconds);
}

}  // namespace kestrun
