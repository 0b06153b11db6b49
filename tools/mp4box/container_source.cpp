#include "container_source.h"

#include <stdexcept>

namespace standin {
namespace {

bool IsCopied(const AVCodecParameters& codec) {
    return (codec.codec_type == AVMEDIA_TYPE_AUDIO || codec.codec_type == AVMEDIA_TYPE_VIDEO) &&
           codec.codec_id != AV_CODEC_ID_NONE;
}

}  // namespace

ContainerSource::ContainerSource(std::string path)
    : path_(std::move(path)), input_(OpenInput(path_)), tracks_(input_->nb_streams) {
    bool any = false;
    for (unsigned i = 0; i < input_->nb_streams; ++i)
        any = any || IsCopied(*input_->streams[i]->codecpar);
    if (!any) throw std::runtime_error(path_ + " holds no audio or video track");
}

void ContainerSource::AddStreams(AVFormatContext& output) {
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        const AVStream& in = *input_->streams[i];
        if (!IsCopied(*in.codecpar)) continue;
        AVStream* out = avformat_new_stream(&output, nullptr);
        if (!out || avcodec_parameters_copy(out->codecpar, in.codecpar) < 0) throw std::bad_alloc();
        out->codecpar->codec_tag = 0;  // let the MP4 writer choose its own sample entry
        out->time_base = in.time_base;
        out->sample_aspect_ratio = in.sample_aspect_ratio;
        out->avg_frame_rate = in.avg_frame_rate;
        out->disposition = in.disposition;
        av_dict_copy(&out->metadata, in.metadata, 0);
        tracks_[i].outputIndex = out->index;
    }
}

std::optional<double> ContainerSource::DurationSeconds() const {
    if (input_->duration > 0) return static_cast<double>(input_->duration) / AV_TIME_BASE;
    return std::nullopt;
}

std::vector<std::pair<int, double>> ContainerSource::ExpectedPackets(double filmSeconds) const {
    std::vector<std::pair<int, double>> expected;
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        const AVStream& in = *input_->streams[i];
        if (tracks_[i].outputIndex < 0) continue;
        double packets = static_cast<double>(in.nb_frames);
        if (packets <= 0) {
            const double seconds = in.duration > 0 ? in.duration * av_q2d(in.time_base)
                                                   : DurationSeconds().value_or(filmSeconds);
            const AVCodecParameters& codec = *in.codecpar;
            // AAC frames hold 1024 samples; an unknown video rate counts as a fast one.
            const double rate =
                codec.codec_type == AVMEDIA_TYPE_AUDIO
                    ? codec.sample_rate / double(codec.frame_size > 0 ? codec.frame_size : 1024)
                    : (in.avg_frame_rate.num > 0 ? av_q2d(in.avg_frame_rate) : 60.0);
            packets = seconds * rate;
        }
        expected.emplace_back(tracks_[i].outputIndex, packets);
    }
    return expected;
}

bool ContainerSource::Next(AVPacket& packet) {
    for (;;) {
        av_packet_unref(&packet);
        const int rc = av_read_frame(input_.get(), &packet);
        if (rc == AVERROR_EOF) return false;
        if (rc < 0) throw std::runtime_error("cannot read " + path_ + ": " + LibavErrorText(rc));
        if (packet.stream_index < 0 || static_cast<size_t>(packet.stream_index) >= tracks_.size())
            continue;  // a stream that appeared after the header
        TrackState& track = tracks_[packet.stream_index];
        if (track.outputIndex < 0) continue;
        if (packet.dts == AV_NOPTS_VALUE)
            packet.dts = track.nextDts != AV_NOPTS_VALUE ? track.nextDts : 0;
        if (packet.pts == AV_NOPTS_VALUE) packet.pts = packet.dts;
        track.nextDts = packet.dts + packet.duration;
        packet.time_base = input_->streams[packet.stream_index]->time_base;
        packet.stream_index = track.outputIndex;
        return true;
    }
}

}  // namespace standin
