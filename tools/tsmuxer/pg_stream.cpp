#include "pg_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "source_tracks.h"

namespace standin::ts {
namespace {

double NumberParam(const MetaTrack& line, const std::string& key, double fallback, double low,
                   double high) {
    const auto text = line.Param(key);
    if (!text) return fallback;
    char* end = nullptr;
    const double value = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !(value >= low && value <= high))
        throw MetaLineError(line, "bad " + key + "=" + *text);
    return value;
}

}  // namespace

std::runtime_error MetaLineError(const MetaTrack& line, const std::string& what) {
    return std::runtime_error("meta file line " + std::to_string(line.lineNumber) + ": " + what);
}

std::string LanguageOfLine(const MetaTrack& line) {
    std::string lang = line.Param("lang").value_or("");
    for (char& c : lang) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool code = lang.size() == 3 && std::all_of(lang.begin(), lang.end(),
                                                      [](char c) { return c >= 'a' && c <= 'z'; });
    return code ? lang : "und";
}

int64_t TrackNumberOfLine(const MetaTrack& line) {
    const auto number = line.Param("track");
    if (!number) return 0;
    char* end = nullptr;
    const long long track = std::strtoll(number->c_str(), &end, 10);
    if (number->empty() || *end != '\0' || track < 1)
        throw MetaLineError(line, "bad track number " + *number);
    return track;
}

SubtitleTrackInput OpenSubtitleTrackOfLine(const MetaTrack& line, AVCodecID codec,
                                           const std::string& kind) {
    const int64_t track = TrackNumberOfLine(line);
    if (track == 0) throw MetaLineError(line, "a " + kind + " subtitle line needs track=");
    SubtitleTrackInput opened;
    try {
        opened.input = OpenInput(line.path);
        opened.stream = SubtitleStreamOfTrack(*opened.input, line.path, track, {codec},
                                              kind + " subtitle track");
    } catch (const std::exception& e) {
        throw MetaLineError(line, e.what());
    }
    for (unsigned i = 0; i < opened.input->nb_streams; ++i)
        if (static_cast<int>(i) != opened.stream) opened.input->streams[i]->discard = AVDISCARD_ALL;
    return opened;
}

std::optional<int64_t> NextTimedPacket(AVFormatContext& input, int stream, AVPacket& packet,
                                       const MetaTrack& line) {
    for (;;) {
        av_packet_unref(&packet);
        const int rc = av_read_frame(&input, &packet);
        if (rc == AVERROR_EOF) return std::nullopt;
        if (rc < 0)
            throw MetaLineError(line, "cannot read " + line.path + ": " + LibavErrorText(rc));
        if (packet.stream_index != stream || packet.size <= 0) continue;
        const int64_t time = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        if (time != AV_NOPTS_VALUE) return time;
    }
}

SubtitleStyle StyleOfLine(const MetaTrack& line) {
    SubtitleStyle s;
    s.fontName = line.Param("font-name").value_or("Arial");
    s.fontSize = static_cast<int>(NumberParam(line, "font-size", 42, 1, 1000));
    if (const auto colour = line.Param("font-color")) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(colour->c_str(), &end, 16);
        if (colour->empty() || *end != '\0' || value > 0xFFFFFFFFul)
            throw MetaLineError(line, "bad font-color=" + *colour);
        s.colour = static_cast<uint32_t>(value);
    }
    s.border = static_cast<int>(NumberParam(line, "font-border", 1, 0, 100));
    s.bottomOffset = NumberParam(line, "bottom-offset", 50, 0, 10000);
    if (!line.Param("video-width") || !line.Param("video-height"))
        throw MetaLineError(line, "a subtitle line needs video-width= and video-height=");
    s.videoWidth = static_cast<int>(NumberParam(line, "video-width", 0, 16, 4096));
    s.videoHeight = static_cast<int>(NumberParam(line, "video-height", 0, 16, 4096));
    return s;
}

uint8_t PgFrameRateCode(const std::string& fps) {
    const double value = std::atof(fps.c_str());
    struct Code {
        double fps;
        uint8_t code;
    };
    constexpr Code kCodes[] = {{23.976, 1}, {24, 2}, {25, 3}, {29.97, 4}, {50, 6}, {59.94, 7}};
    for (const Code& c : kCodes)
        if (std::fabs(c.fps - value) < 0.01) return c.code;
    return 1;
}

PgSegmentSource::PgSegmentSource(const MetaTrack& line)
    : line_(line), canvas_(StyleOfLine(line)), path_(line.path), language_(LanguageOfLine(line)) {}

void PgSegmentSource::AddStreams(AVFormatContext& output) {
    AVStream* out = avformat_new_stream(&output, nullptr);
    if (!out) throw std::bad_alloc();
    out->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
    out->codecpar->codec_id = AV_CODEC_ID_HDMV_PGS_SUBTITLE;
    out->codecpar->width = canvas_.videoWidth;
    out->codecpar->height = canvas_.videoHeight;
    out->time_base = AVRational{1, 90000};
    av_dict_set(&out->metadata, "language", language_.c_str(), 0);
    outputIndex_ = out->index;
}

void PgSegmentSource::Queue(int64_t pts, PgSegment segment) {
    waiting_.emplace_back(pts, std::move(segment));
}

bool PgSegmentSource::Next(AVPacket& packet) {
    while (waiting_.empty())
        if (!QueueMore()) return false;
    auto [pts, segment] = std::move(waiting_.front());
    waiting_.pop_front();
    const std::vector<uint8_t> bytes = segment.Bytes();
    av_packet_unref(&packet);
    if (av_new_packet(&packet, static_cast<int>(bytes.size())) < 0) throw std::bad_alloc();
    std::memcpy(packet.data, bytes.data(), bytes.size());
    packet.pts = packet.dts = pts;
    packet.time_base = AVRational{1, 90000};
    packet.stream_index = outputIndex_;
    packet.flags |= AV_PKT_FLAG_KEY;
    return true;
}

PgPictureSource::PgPictureSource(const MetaTrack& line) : PgSegmentSource(line) {
    composition_.videoWidth = canvas_.videoWidth;
    composition_.videoHeight = canvas_.videoHeight;
    const std::string fps = line.Param("fps").value_or("23.976");
    composition_.frameRateCode = PgFrameRateCode(fps);
    frameMs_ = std::atof(fps.c_str()) > 1 ? 1000 / std::atof(fps.c_str()) : 1000 / 23.976;
}

bool PgPictureSource::QueueMore() {
    const bool hd = canvas_.videoHeight > 576;
    for (;;) {
        if (ahead_.empty()) {
            auto change = NextChange();
            if (!change) return false;
            ahead_.push_back(std::move(*change));
        }
        const ScreenChange change = std::move(ahead_.front());
        ahead_.pop_front();
        std::vector<PgSegment> set;
        if (!change.picture.Empty()) {
            const IndexedPicture indexed = ToPalette(change.picture, hd);
            set = PgShowSet(composition_, indexed.picture, indexed.palette);
            shown_ = indexed.picture;
            shown_.pixels.clear();
        } else if (shown_.width > 0) {
            // A picture that follows within a frame replaces this one itself: no clear between.
            if (ahead_.empty())
                if (auto next = NextChange()) ahead_.push_back(std::move(*next));
            if (!ahead_.empty() && ahead_.front().ms - change.ms < frameMs_ &&
                !ahead_.front().picture.Empty())
                continue;
            set = PgClearSet(composition_, shown_);
            shown_ = PgPicture();
        } else {
            continue;
        }
        ++composition_.number;
        for (PgSegment& segment : set) Queue(change.ms * 90, std::move(segment));
        return true;
    }
}

PgSubtitleSource::PgSubtitleSource(const MetaTrack& line) : PgPictureSource(line) {
    const int64_t track = TrackNumberOfLine(line);
    try {
        cues_ = ReadSubtitleCues(line.path, track);
    } catch (const std::exception& e) {
        throw MetaLineError(line, e.what());
    }
    for (SubtitleCue& cue : cues_) cue.startMs = std::max<int64_t>(cue.startMs, 0);
    cues_.erase(std::remove_if(cues_.begin(), cues_.end(),
                               [](const SubtitleCue& c) { return c.endMs <= c.startMs; }),
                cues_.end());
    for (const SubtitleCue& cue : cues_) {
        changes_.push_back(cue.startMs);
        changes_.push_back(cue.endMs);
    }
    std::sort(changes_.begin(), changes_.end());
    changes_.erase(std::unique(changes_.begin(), changes_.end()), changes_.end());
    renderer_ = std::make_unique<SubtitleRenderer>(canvas_, cues_);
}

std::optional<PgPictureSource::ScreenChange> PgSubtitleSource::NextChange() {
    if (nextChange_ >= changes_.size()) return std::nullopt;
    const int64_t ms = changes_[nextChange_++];
    return ScreenChange{ms, renderer_->Render(ms)};
}

}  // namespace standin::ts
