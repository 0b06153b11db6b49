#include "stream_probe.h"

#include <cmath>
#include <stdexcept>

extern "C" {
#include <libavutil/log.h>
}

#include "common/lib_names.h"
#include "media/libav_handles.h"

namespace standin::mkvinfo {
namespace {

std::optional<uint64_t> FrameDurationOf(AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0) return std::nullopt;
    const double ns = std::round(1e9 * rate.den / rate.num);
    if (ns < 1 || ns > 1e12) return std::nullopt;
    return static_cast<uint64_t>(ns);
}

}  // namespace

VideoStreamFacts ProbeVideoStream(const std::string& path, size_t videoOrdinal) {
    VideoStreamFacts facts;
    av_log_set_level(AV_LOG_QUIET);
    InputPtr input;
    try {
        input = OpenInput(path);
    } catch (const std::runtime_error&) {
        return facts;
    }
    size_t ordinal = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || ordinal++ != videoOrdinal)
            continue;
        // The base rate is what timestamps step by; the average is skewed by short files.
        facts.frameDurationNs = FrameDurationOf(stream->r_frame_rate);
        if (!facts.frameDurationNs) facts.frameDurationNs = FrameDurationOf(stream->avg_frame_rate);
        if (stream->codecpar->width > 0 && stream->codecpar->height > 0) {
            facts.width = static_cast<uint32_t>(stream->codecpar->width);
            facts.height = static_cast<uint32_t>(stream->codecpar->height);
        }
        break;
    }
    return facts;
}

}  // namespace standin::mkvinfo
