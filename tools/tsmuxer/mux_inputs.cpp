#include "mux_inputs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <iostream>
#include <map>
#include <stdexcept>

#include "common/file_checks.h"
#include "common/lib_names.h"
#include "common/raw_h264_source.h"
#include "media/h264_level_patcher.h"
#include "media/libav_handles.h"
#include "pg_copy.h"
#include "pg_stream.h"
#include "source_tracks.h"
#include "vobsub_source.h"

extern "C" {
#include <libavutil/dict.h>
}

namespace standin::ts {
namespace {

std::runtime_error LineError(const MetaTrack& line, const std::string& what) {
    return std::runtime_error("meta file line " + std::to_string(line.lineNumber) + ": " + what);
}

bool IsRawH264(const std::string& path) {
    AVFormatContext* probe = nullptr;
    if (avformat_open_input(&probe, AvFilePath(path).c_str(), nullptr, nullptr) < 0) return false;
    const InputPtr input(probe);
    return std::string(input->iformat->name) == "h264";
}

struct WantedTrack {
    const MetaTrack* line;
    int streamIndex;
    int64_t shiftMs = 0;
    uint8_t level = 0;  // level_idc to set in the SPS; 0 keeps the stream's own
};

// The tracks of one file that FFmpeg reads, copied with their own timestamps.
class ContainerTracks : public PacketSource {
    static constexpr size_t kMaxWaiting = 16;
    struct Track {
        std::optional<WantedTrack> wanted;
        int outputIndex = -1;
        int lengthSize = 0;
        int64_t nextDts = AV_NOPTS_VALUE;
        int64_t lastDts = AV_NOPTS_VALUE;
        std::vector<PacketPtr> waiting;
    };

public:
    ContainerTracks(std::string path, InputPtr input)
        : path_(std::move(path)), input_(std::move(input)) {
        tracks_.resize(input_->nb_streams);
        origin_ = Origin();
    }

    void Want(const WantedTrack& track) { tracks_[track.streamIndex].wanted = track; }

    // The demuxer skips the data of every stream that no line asked for.
    void DiscardUnwanted() {
        for (unsigned i = 0; i < input_->nb_streams; ++i)
            if (!tracks_[i].wanted) input_->streams[i]->discard = AVDISCARD_ALL;
    }

    void AddStreams(AVFormatContext& output) override {
        for (unsigned i = 0; i < input_->nb_streams; ++i) {
            Track& track = tracks_[i];
            if (!track.wanted) continue;
            const AVStream& in = *input_->streams[i];
            AVStream* out = avformat_new_stream(&output, nullptr);
            if (!out || avcodec_parameters_copy(out->codecpar, in.codecpar) < 0)
                throw std::bad_alloc();
            out->codecpar->codec_tag = 0;
            out->time_base = in.time_base;
            out->avg_frame_rate = in.avg_frame_rate;
            out->r_frame_rate = in.r_frame_rate;
            av_dict_copy(&out->metadata, in.metadata, 0);
            if (track.wanted->level > 0) {
                h264::SetAvccLevel(out->codecpar->extradata, out->codecpar->extradata_size,
                                   track.wanted->level);
                out->codecpar->level = track.wanted->level;
                if (out->codecpar->extradata_size > 4 && out->codecpar->extradata[0] == 1)
                    track.lengthSize = (out->codecpar->extradata[4] & 3) + 1;
            }
            track.outputIndex = out->index;
        }
    }

    bool Next(AVPacket& packet) override {
        while (ready_.empty()) {
            if (!ReadMore()) break;
        }
        if (ready_.empty()) return false;
        av_packet_unref(&packet);
        av_packet_move_ref(&packet, ready_.front().get());
        ready_.pop_front();
        return true;
    }

    const std::string& Path() const override { return path_; }
    std::optional<double> DurationSeconds() const override {
        if (input_->duration == AV_NOPTS_VALUE) return std::nullopt;
        return input_->duration / double(AV_TIME_BASE);
    }
    // Only an MP4 writer reserves room from this; a transport stream needs none.
    std::vector<std::pair<int, double>> ExpectedPackets(double) const override { return {}; }
    AVFormatContext& Input() { return *input_; }

private:
    // Reads one packet; false at the end, after every waiting packet was made ready.
    bool ReadMore() {
        PacketPtr packet = NewPacket();
        const int rc = av_read_frame(input_.get(), packet.get());
        if (rc == AVERROR_EOF) {
            for (Track& track : tracks_) ReleaseWaiting(track, AV_NOPTS_VALUE);
            if (skipped_ > 0 && !warned_)
                std::cerr << "tsMuxeR: warning: " << skipped_ << " packet(s) of " << path_
                          << " out of time order left out (a damaged file?)" << std::endl;
            warned_ = true;
            return false;
        }
        if (rc < 0) throw std::runtime_error("cannot read " + path_ + ": " + LibavErrorText(rc));
        if (packet->stream_index < 0 || static_cast<size_t>(packet->stream_index) >= tracks_.size())
            return true;
        Track& track = tracks_[packet->stream_index];
        if (track.outputIndex < 0) return true;
        packet->time_base = input_->streams[packet->stream_index]->time_base;
        if (packet->duration <= 0) packet->duration = FrameDuration(packet->stream_index);
        // Matroska stores presentation times only; FFmpeg works out decode times once the
        // reordering is known, so the first frames of a stream with B-frames come without one.
        if (packet->dts == AV_NOPTS_VALUE && track.nextDts == AV_NOPTS_VALUE &&
            packet->pts != AV_NOPTS_VALUE && track.waiting.size() < kMaxWaiting) {
            track.waiting.push_back(std::move(packet));
            return true;
        }
        if (packet->dts == AV_NOPTS_VALUE)
            packet->dts = track.nextDts != AV_NOPTS_VALUE ? track.nextDts : packet->pts;
        ReleaseWaiting(track, packet->dts);
        Finish(track, std::move(packet));
        return true;
    }

    // Gives the waiting first frames decode times one frame apart before `knownDts` (or from
    // their earliest presentation time at the end of the file).
    void ReleaseWaiting(Track& track, int64_t knownDts) {
        if (track.waiting.empty()) return;
        int64_t dts = knownDts;
        if (dts == AV_NOPTS_VALUE) {
            dts = track.waiting.front()->pts;
            for (const auto& p : track.waiting) dts = std::min(dts, p->pts);
            dts += static_cast<int64_t>(track.waiting.size()) * track.waiting.front()->duration;
        }
        for (size_t i = track.waiting.size(); i-- > 0;) {
            dts -= track.waiting[i]->duration;
            track.waiting[i]->dts = dts;
        }
        for (auto& p : track.waiting) Finish(track, std::move(p));
        track.waiting.clear();
    }

    // Moves the packet onto the common timeline and makes it ready.
    void Finish(Track& track, PacketPtr owned) {
        if (owned->pts == AV_NOPTS_VALUE) owned->pts = owned->dts;
        // A damaged file can hand a block out twice after the demuxer found its place again;
        // the copy (or anything else going back in time) is left out.
        if (track.lastDts != AV_NOPTS_VALUE && owned->dts <= track.lastDts) {
            ++skipped_;
            return;
        }
        track.lastDts = owned->dts;
        track.nextDts = owned->dts + owned->duration;
        const AVRational tb = owned->time_base;
        const int64_t shift = av_rescale_q(origin_, AV_TIME_BASE_Q, tb) -
                              av_rescale_q(track.wanted->shiftMs, AVRational{1, 1000}, tb);
        owned->dts -= shift;
        owned->pts -= shift;
        if (track.lengthSize > 0) {
            if (av_packet_make_writable(owned.get()) < 0) throw std::bad_alloc();
            h264::SetLengthPrefixedSpsLevel(owned->data, owned->size, track.lengthSize,
                                            track.wanted->level);
        }
        owned->stream_index = track.outputIndex;
        ready_.push_back(std::move(owned));
    }

    int64_t FrameDuration(int streamIndex) const {
        const AVStream& s = *input_->streams[streamIndex];
        if (s.avg_frame_rate.num > 0 && s.avg_frame_rate.den > 0)
            return std::max<int64_t>(1, av_rescale_q(1, av_inv_q(s.avg_frame_rate), s.time_base));
        return 0;
    }

    // The file's time of its first video frame (AV_TIME_BASE units), or of its start.
    int64_t Origin() const {
        return VideoStart(*input_, AV_TIME_BASE_Q)
            .value_or(input_->start_time != AV_NOPTS_VALUE ? input_->start_time : 0);
    }

    std::string path_;
    InputPtr input_;
    std::vector<Track> tracks_;
    int64_t origin_ = 0;
    std::deque<PacketPtr> ready_;
    long skipped_ = 0;
    bool warned_ = false;
};

InputPtr OpenContainer(const MetaTrack& line) {
    AVDictionary* options = nullptr;
    // A raw video stream has no timing of its own: the line's frame rate gives it.
    if (line.IsVideo())
        av_dict_set(&options, "framerate", line.Param("fps").value_or("23.976").c_str(), 0);
    AVFormatContext* context = nullptr;
    int rc = avformat_open_input(&context, AvFilePath(line.path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) throw LineError(line, "cannot read " + line.path + ": " + LibavErrorText(rc));
    InputPtr input(context);
    rc = avformat_find_stream_info(context, nullptr);
    if (rc < 0) throw LineError(line, "cannot read the streams of " + line.path);
    return input;
}

// The stream a line names: by its track number, or the first of its kind.
int FindStream(AVFormatContext& input, const MetaTrack& line) {
    const AVMediaType kind = line.IsVideo() ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
    const std::string kindName = line.IsVideo() ? "video" : "audio";
    const auto number = line.Param("track");
    if (number) {
        char* end = nullptr;
        const long long value = std::strtoll(number->c_str(), &end, 10);
        if (number->empty() || *end != '\0' || value < 1)
            throw LineError(line, "bad track number " + *number);
        int index = -1;
        try {
            index = StreamOfTrackNumber(input, line.path, value);
        } catch (const std::runtime_error& e) {
            throw LineError(line, e.what());
        }
        if (index < 0) throw LineError(line, line.path + " has no track " + *number);
        const AVCodecParameters& codec = *input.streams[index]->codecpar;
        if (codec.codec_type != kind || codec.codec_id == AV_CODEC_ID_NONE)
            throw LineError(
                line, "track " + *number + " of " + line.path + " is no " + kindName + " track");
        return index;
    }
    for (unsigned i = 0; i < input.nb_streams; ++i)
        if (input.streams[i]->codecpar->codec_type == kind) return static_cast<int>(i);
    throw LineError(line, line.path + " has no " + kindName + " track");
}

// "4.1" -> 41.
uint8_t LevelIdc(const MetaTrack& line) {
    const std::string text = *line.Param("level");
    char* end = nullptr;
    const double level = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || level < 1 || level > 6.2)
        throw LineError(line, "bad level " + text);
    return static_cast<uint8_t>(std::lround(level * 10));
}

int64_t TimeShiftMs(const MetaTrack& line) {
    const auto text = line.Param("timeshift");
    if (!text) return 0;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (end == text->c_str() || (std::strcmp(end, "ms") != 0 && *end != '\0'))
        throw LineError(line, "bad timeshift " + *text);
    return value;
}

}  // namespace

std::vector<std::unique_ptr<PacketSource>> OpenMuxInputs(const MetaFile& meta) {
    std::vector<std::unique_ptr<PacketSource>> inputs;
    std::map<std::string, ContainerTracks*> containers;
    for (const MetaTrack& line : meta.tracks) {
        const std::string problem = InputFileProblem(line.path);
        if (!problem.empty()) throw LineError(line, problem);
        if (line.IsSubtitle()) {
            if (line.codec == "S_HDMV/PGS")
                inputs.push_back(std::make_unique<PgsTrackSource>(line));
            else if (line.codec == "S_VOBSUB")
                inputs.push_back(std::make_unique<VobSubTrackSource>(line));
            else
                inputs.push_back(std::make_unique<PgSubtitleSource>(line));
            continue;
        }
        const bool fromContainer = line.Param("track").has_value();
        if (line.IsVideo() && !fromContainer && line.codec == "V_MPEG4/ISO/AVC" &&
            IsRawH264(line.path)) {
            inputs.push_back(
                std::make_unique<RawH264Source>(line.path, line.Param("fps"), std::nullopt));
            continue;
        }
        ContainerTracks*& container = containers[line.path];
        if (!container) {
            auto opened = std::make_unique<ContainerTracks>(line.path, OpenContainer(line));
            container = opened.get();
            inputs.push_back(std::move(opened));
        }
        WantedTrack wanted{&line, FindStream(container->Input(), line)};
        wanted.shiftMs = TimeShiftMs(line);
        const AVCodecID codec = container->Input().streams[wanted.streamIndex]->codecpar->codec_id;
        if (codec == AV_CODEC_ID_H264 && line.Param("level")) wanted.level = LevelIdc(line);
        container->Want(wanted);
    }
    for (const auto& [path, container] : containers) container->DiscardUnwanted();
    return inputs;
}

}  // namespace standin::ts
