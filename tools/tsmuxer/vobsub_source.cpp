#include "vobsub_source.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "source_tracks.h"

namespace standin::ts {
namespace {

constexpr AVRational kMs{1, 1000};

struct SubtitleFree {
    void operator()(AVSubtitle* subtitle) const {
        avsubtitle_free(subtitle);
        delete subtitle;
    }
};
using SubtitlePtr = std::unique_ptr<AVSubtitle, SubtitleFree>;

struct Box {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // right, bottom outside
    bool Empty() const { return left >= right || top >= bottom; }
};

// A bitmap of the subpicture whose pixels can be read: palette indexes with a palette of ARGB.
bool Readable(const AVSubtitleRect& rect) {
    return rect.type == SUBTITLE_BITMAP && rect.w > 0 && rect.h > 0 && rect.data[0] &&
           rect.data[1] && rect.nb_colors > 0 && rect.nb_colors <= 256 &&
           rect.linesize[0] >= rect.w;
}

// The part of the rectangle inside the frame.
Box Clipped(const AVSubtitleRect& rect, int width, int height) {
    Box box;
    box.left = static_cast<int>(std::clamp<int64_t>(rect.x, 0, width));
    box.top = static_cast<int>(std::clamp<int64_t>(rect.y, 0, height));
    box.right = static_cast<int>(std::clamp<int64_t>(int64_t{rect.x} + rect.w, 0, width));
    box.bottom = static_cast<int>(std::clamp<int64_t>(int64_t{rect.y} + rect.h, 0, height));
    return box;
}

uint32_t Colour(const AVSubtitleRect& rect, int x, int y) {
    const uint8_t index = rect.data[0][size_t(y - rect.y) * rect.linesize[0] + (x - rect.x)];
    if (index >= rect.nb_colors) return 0;
    uint32_t argb;
    std::memcpy(&argb, rect.data[1] + size_t(index) * 4, 4);
    return argb;
}

// The source pixels that make one output pixel along an axis, and their weights: a triangle as
// wide as the output pixel's footprint (at least a source pixel), so enlarging interpolates and
// reducing averages. Pixels outside [low, high) are transparent: they count in the weights only.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

Taps TapsOf(int output, double scale, int low, int high) {
    const double centre = (output + 0.5) * scale, radius = std::max(1.0, scale);
    const int from = static_cast<int>(std::ceil(centre - radius - 0.5));
    const int to = static_cast<int>(std::floor(centre + radius - 0.5));
    Taps taps;
    taps.first = std::max(from, low);
    double total = 0;
    for (int i = from; i <= to; ++i)
        total += std::max(0.0, 1 - std::fabs(i + 0.5 - centre) / radius);
    for (int i = taps.first; i <= to && i < high; ++i)
        taps.weights.push_back(static_cast<float>(
            std::max(0.0, 1 - std::fabs(i + 0.5 - centre) / radius) / std::max(total, 1e-9)));
    return taps;
}

}  // namespace

RgbaPicture ScaledSubpicture(const AVSubtitle& subpicture, int dvdWidth, int dvdHeight,
                             int videoWidth, int videoHeight) {
    RgbaPicture out;
    if (dvdWidth <= 0 || dvdHeight <= 0 || videoWidth <= 0 || videoHeight <= 0) return out;
    // The drawn pixels on the DVD frame.
    Box ink;
    for (unsigned r = 0; r < subpicture.num_rects; ++r) {
        const AVSubtitleRect& rect = *subpicture.rects[r];
        if (!Readable(rect)) continue;
        const Box part = Clipped(rect, dvdWidth, dvdHeight);
        for (int y = part.top; y < part.bottom; ++y)
            for (int x = part.left; x < part.right; ++x)
                if (Colour(rect, x, y) >> 24) {
                    ink.left = std::min(ink.left, x);
                    ink.top = std::min(ink.top, y);
                    ink.right = std::max(ink.right, x + 1);
                    ink.bottom = std::max(ink.bottom, y + 1);
                }
    }
    if (ink.Empty()) return out;
    // Premultiplied colour and coverage, the later bitmap over the earlier.
    const int inkWidth = ink.right - ink.left, inkHeight = ink.bottom - ink.top;
    std::vector<float> canvas(size_t(inkWidth) * inkHeight * 4, 0.0f);
    for (unsigned r = 0; r < subpicture.num_rects; ++r) {
        const AVSubtitleRect& rect = *subpicture.rects[r];
        if (!Readable(rect)) continue;
        const Box part = Clipped(rect, dvdWidth, dvdHeight);
        for (int y = std::max(part.top, ink.top); y < std::min(part.bottom, ink.bottom); ++y)
            for (int x = std::max(part.left, ink.left); x < std::min(part.right, ink.right); ++x) {
                const uint32_t argb = Colour(rect, x, y);
                const float a = (argb >> 24) / 255.0f;
                if (a <= 0) continue;
                float* p = &canvas[(size_t(y - ink.top) * inkWidth + (x - ink.left)) * 4];
                p[0] = ((argb >> 16) & 0xFF) / 255.0f * a + p[0] * (1 - a);
                p[1] = ((argb >> 8) & 0xFF) / 255.0f * a + p[1] * (1 - a);
                p[2] = (argb & 0xFF) / 255.0f * a + p[2] * (1 - a);
                p[3] = a + p[3] * (1 - a);
            }
    }
    // The output pixels the ink can reach, resampled column-wise, then row-wise.
    const double scaleX = double(dvdWidth) / videoWidth, scaleY = double(dvdHeight) / videoHeight;
    const auto reach = [](int low, int high, double scale, int limit, int& from, int& to) {
        const double radius = std::max(1.0, scale);
        from = std::clamp(static_cast<int>(std::floor((low - radius) / scale)), 0, limit);
        to = std::clamp(static_cast<int>(std::ceil((high + radius) / scale)), 0, limit);
    };
    int x0, x1, y0, y1;
    reach(ink.left, ink.right, scaleX, videoWidth, x0, x1);
    reach(ink.top, ink.bottom, scaleY, videoHeight, y0, y1);
    const int w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0) return out;
    std::vector<float> columns(size_t(w) * inkHeight * 4, 0.0f);
    for (int x = x0; x < x1; ++x) {
        const Taps taps = TapsOf(x, scaleX, ink.left, ink.right);
        for (int y = 0; y < inkHeight; ++y) {
            float* q = &columns[(size_t(y) * w + (x - x0)) * 4];
            for (size_t k = 0; k < taps.weights.size(); ++k) {
                const float* p = &canvas[(size_t(y) * inkWidth + (taps.first + k - ink.left)) * 4];
                for (int c = 0; c < 4; ++c) q[c] += taps.weights[k] * p[c];
            }
        }
    }
    std::vector<float> scaled(size_t(w) * h * 4, 0.0f);
    for (int y = y0; y < y1; ++y) {
        const Taps taps = TapsOf(y, scaleY, ink.top, ink.bottom);
        for (size_t k = 0; k < taps.weights.size(); ++k) {
            const float* row = &columns[size_t(taps.first + k - ink.top) * w * 4];
            float* q = &scaled[size_t(y - y0) * w * 4];
            for (int i = 0; i < w * 4; ++i) q[i] += taps.weights[k] * row[i];
        }
    }
    // Cut to the pixels that show, with even sizes kept inside the frame.
    Box shown;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (scaled[(size_t(y) * w + x) * 4 + 3] >= 0.5f / 255) {
                shown.left = std::min(shown.left, x0 + x);
                shown.top = std::min(shown.top, y0 + y);
                shown.right = std::max(shown.right, x0 + x + 1);
                shown.bottom = std::max(shown.bottom, y0 + y + 1);
            }
    if (shown.Empty()) return out;
    const auto even = [](int& low, int& high, int limit) {
        if ((high - low) % 2 == 0) return;
        if (high < limit)
            ++high;
        else if (low > 0)
            --low;
        else
            --high;
    };
    even(shown.left, shown.right, videoWidth);
    even(shown.top, shown.bottom, videoHeight);
    out.x = shown.left;
    out.y = shown.top;
    out.width = shown.right - shown.left;
    out.height = shown.bottom - shown.top;
    out.rgba.assign(size_t(out.width) * out.height * 4, 0);
    for (int y = shown.top; y < shown.bottom; ++y)
        for (int x = shown.left; x < shown.right; ++x) {
            if (x < x0 || x >= x1 || y < y0 || y >= y1) continue;
            const float* p = &scaled[(size_t(y - y0) * w + (x - x0)) * 4];
            if (p[3] <= 0) continue;
            uint8_t* q = &out.rgba[(size_t(y - shown.top) * out.width + (x - shown.left)) * 4];
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<uint8_t>(std::lround(std::clamp(p[c] / p[3], 0.0f, 1.0f) * 255));
            q[3] = static_cast<uint8_t>(std::lround(std::clamp(p[3], 0.0f, 1.0f) * 255));
        }
    return out;
}

std::optional<SubpictureSpan> SpanOfSubpicture(int64_t startMs, std::optional<int64_t> endMs,
                                               std::optional<int64_t> nextStartMs) {
    if (endMs && (*endMs <= startMs || (nextStartMs && *endMs >= *nextStartMs))) endMs.reset();
    const int64_t gone = endMs ? *endMs : nextStartMs.value_or(INT64_MAX);
    if (gone <= 0) return std::nullopt;
    return SubpictureSpan{std::max<int64_t>(startMs, 0), endMs};
}

VobSubTrackSource::VobSubTrackSource(const MetaTrack& line) : PgPictureSource(line) {
    SubtitleTrackInput opened = OpenSubtitleTrackOfLine(line, AV_CODEC_ID_DVD_SUBTITLE, "VobSub");
    input_ = std::move(opened.input);
    stream_ = opened.stream;
    originMs_ = VideoStart(*input_, kMs).value_or(0);
    const AVStream& stream = *input_->streams[stream_];
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVD_SUBTITLE);
    if (!codec) throw MetaLineError(line, "FFmpeg's DVD subtitle decoder is not available");
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) throw std::bad_alloc();
    if (avcodec_parameters_to_context(decoder_.get(), stream.codecpar) < 0) throw std::bad_alloc();
    decoder_->pkt_timebase = stream.time_base;
    const int rc = avcodec_open2(decoder_.get(), codec, nullptr);
    if (rc < 0)
        throw MetaLineError(line, line.path + " track " + std::to_string(TrackNumberOfLine(line)) +
                                      ": the VobSub header cannot be read: " + LibavErrorText(rc));
    dvdWidth_ = decoder_->width;
    dvdHeight_ = decoder_->height;
    if (dvdWidth_ <= 0 || dvdHeight_ <= 0) {
        // An idx header without "size:": the DVD frame of the film's frame rate.
        const double fps = std::atof(line.Param("fps").value_or("23.976").c_str());
        dvdWidth_ = 720;
        dvdHeight_ = std::fabs(fps - 25) < 0.01 || std::fabs(fps - 50) < 0.01 ? 576 : 480;
    }
    if (dvdWidth_ > kMaxDvdFrameSide || dvdHeight_ > kMaxDvdFrameSide)
        throw MetaLineError(line, line.path + " track " + std::to_string(TrackNumberOfLine(line)) +
                                      ": a VobSub frame of " + std::to_string(dvdWidth_) + "x" +
                                      std::to_string(dvdHeight_) + " (at most " +
                                      std::to_string(kMaxDvdFrameSide) + " a side)");
}

VobSubTrackSource::~VobSubTrackSource() {
    if (undecodable_ > 0)
        std::cerr << "tsMuxeR: warning: " << undecodable_ << " subpicture(s) of " << line_.path
                  << " track " << *line_.Param("track") << " could not be decoded and were left out"
                  << std::endl;
}

std::optional<VobSubTrackSource::Subpicture> VobSubTrackSource::ReadSubpicture() {
    const AVStream& stream = *input_->streams[stream_];
    for (;;) {
        const std::optional<int64_t> time = NextTimedPacket(*input_, stream_, *packet_, line_);
        if (!time) return std::nullopt;
        const int64_t packetMs = av_rescale_q(*time, stream.time_base, kMs) - originMs_;
        SubtitlePtr decoded(new AVSubtitle{});
        int got = 0;
        if (avcodec_decode_subtitle2(decoder_.get(), decoded.get(), &got, packet_.get()) < 0) {
            ++undecodable_;
            continue;
        }
        Subpicture sub;
        sub.startMs = packetMs;
        if (!got) return sub;  // nothing to show: what was shown goes
        sub.startMs += decoded->start_display_time;
        if (decoded->end_display_time > decoded->start_display_time &&
            decoded->end_display_time != UINT32_MAX)
            sub.endMs = packetMs + decoded->end_display_time;
        else if (packet_->duration > 0)
            sub.endMs = packetMs + av_rescale_q(packet_->duration, stream.time_base, kMs);
        sub.picture = ScaledSubpicture(*decoded, dvdWidth_, dvdHeight_, canvas_.videoWidth,
                                       canvas_.videoHeight);
        return sub;
    }
}

std::optional<PgPictureSource::ScreenChange> VobSubTrackSource::NextChange() {
    while (pending_.empty()) {
        if (!primed_) {
            next_ = ReadSubpicture();
            primed_ = true;
        }
        if (!next_) return std::nullopt;
        Subpicture current = std::move(*next_);
        next_ = ReadSubpicture();
        if (next_) next_->startMs = std::max(next_->startMs, current.startMs);
        const auto span =
            SpanOfSubpicture(current.startMs, current.endMs,
                             next_ ? std::optional<int64_t>(next_->startMs) : std::nullopt);
        if (!span) continue;
        pending_.push_back({span->showMs, std::move(current.picture)});
        if (span->clearMs) pending_.push_back({*span->clearMs, RgbaPicture()});
    }
    ScreenChange change = std::move(pending_.front());
    pending_.pop_front();
    return change;
}

}  // namespace standin::ts
