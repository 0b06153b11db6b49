#include "common/raw_h264_source.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <numeric>
#include <stdexcept>

#include "common/lib_names.h"
#include "media/h264_nal.h"
#include "media/h264_parameter_sets.h"
#include "media/libav_handles.h"

namespace standin {
namespace {

VideoTiming TimingOf(const std::optional<std::string>& frameRate,
                     const h264::SequenceParameterSet& sps) {
    if (frameRate) return TimingForFrameRate(*frameRate);
    const uint64_t duration = uint64_t{sps.numUnitsInTick} * 2;  // a frame is two fields' ticks
    if (sps.timeScale > 0 && duration > 0 && duration <= 0x7FFFFFFF && sps.timeScale <= 0x7FFFFFFF)
        return VideoTiming{static_cast<int>(sps.timeScale), static_cast<int>(duration)};
    return VideoTiming{25000, 1000};  // MP4Box's default for raw video
}

AVRational Reduced(int num, int den) {
    AVRational ratio{0, 1};
    av_reduce(&ratio.num, &ratio.den, num, den, 65535);
    return ratio;
}

// The packet takes over the frame's bytes as they are: the reader's copy out of the parser is
// the only one a frame goes through on its way to the file.
void TakeBytes(AVPacket& packet, std::vector<uint8_t>&& bytes) {
    auto owned = std::make_unique<std::vector<uint8_t>>(std::move(bytes));
    const auto release = [](void* opaque, uint8_t*) {
        delete static_cast<std::vector<uint8_t>*>(opaque);
    };
    AVBufferRef* buffer = av_buffer_create(owned->data(), owned->size(), release, owned.get(), 0);
    if (!buffer) throw std::bad_alloc();
    owned.release();
    packet.buf = buffer;
    packet.data = buffer->data;
    packet.size = static_cast<int>(buffer->size);
}

}  // namespace

RawH264Source::RawH264Source(std::string path, std::optional<std::string> frameRate,
                             std::optional<PixelAspect> aspect, bool lengthPrefixed)
    : path_(std::move(path)),
      reader_(path_),
      timing_(TimingOf(frameRate, reader_.Sps())),
      lengthPrefixedAsked_(lengthPrefixed) {
    const auto& sps = reader_.Sps();
    if (aspect && !aspect->remove) {
        sampleAspect_ = Reduced(aspect->width, aspect->height);
        if (sps.sarWidth * sampleAspect_.den != sps.sarHeight * sampleAspect_.num)
            aspectFilter_ = std::make_unique<SpsAspectFilter>(reader_.HeaderBlock(), sampleAspect_);
    } else if (!aspect && sps.sarWidth > 0 && sps.sarHeight > 0) {
        sampleAspect_ = Reduced(sps.sarWidth, sps.sarHeight);
    }
}

void RawH264Source::AddStreams(AVFormatContext& output) {
    AVStream* stream = avformat_new_stream(&output, nullptr);
    if (!stream) throw std::bad_alloc();
    streamIndex_ = stream->index;
    AVCodecParameters& codec = *stream->codecpar;
    codec.codec_type = AVMEDIA_TYPE_VIDEO;
    codec.codec_id = AV_CODEC_ID_H264;
    codec.width = static_cast<int>(reader_.Sps().Width());
    codec.height = static_cast<int>(reader_.Sps().Height());
    codec.profile = reader_.Sps().profileIdc;
    codec.level = reader_.Sps().levelIdc;
    const auto header = aspectFilter_ ? aspectFilter_->HeaderBlock() : reader_.HeaderBlock();
    headerBytes_ = static_cast<int>(header.size());
    // The aspect filter rewrites frames in Annex B form; they stay in it.
    const auto record = lengthPrefixedAsked_ && !aspectFilter_
                            ? h264::AvcConfigurationOfAnnexB(header.data(), header.size())
                            : std::nullopt;
    lengthPrefixed_ = record.has_value();
    if (record)
        SetExtradata(codec, record->data(), record->size());
    else
        SetExtradata(codec, header.data(), header.size());
    if (sampleAspect_.num > 0) {
        codec.sample_aspect_ratio = sampleAspect_;
        stream->sample_aspect_ratio = sampleAspect_;
    }
    stream->time_base = AVRational{timing_.frameDuration, timing_.timescale};
    stream->avg_frame_rate = AVRational{timing_.timescale, timing_.frameDuration};
    stream->r_frame_rate = stream->avg_frame_rate;
}

std::vector<std::pair<int, double>> RawH264Source::ExpectedPackets(double filmSeconds) const {
    if (filmSeconds > 0)
        return {{streamIndex_, filmSeconds * timing_.timescale / timing_.frameDuration}};
    // Alone, its frames are counted from its size: few streams average under this per frame.
    constexpr double kSmallAverageFrameBytes = 1000;
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path_, error);
    return {{streamIndex_, error ? 0.0 : static_cast<double>(bytes) / kSmallAverageFrameBytes}};
}

// The room for the index is reckoned with the header as the stream carries it, whichever form
// the writer is handed: the file's layout does not depend on it.
std::optional<int> RawH264Source::ReckonedSetupBytes(int stream) const {
    if (stream != streamIndex_ || !lengthPrefixed_) return std::nullopt;
    return headerBytes_;
}

bool RawH264Source::Next(AVPacket& packet) {
    h264::TimedFrame frame;
    if (!reader_.Next(frame)) return false;
    av_packet_unref(&packet);
    if (aspectFilter_) {
        // The filter parses the frame, which needs FFmpeg's zeroed padding after it.
        if (av_new_packet(&packet, static_cast<int>(frame.data.size())) < 0) throw std::bad_alloc();
        std::memcpy(packet.data, frame.data.data(), frame.data.size());
    } else {
        if (lengthPrefixed_) h264::ToLengthPrefixed(frame.data, frame.startCodes);
        TakeBytes(packet, std::move(frame.data));
    }
    packet.pts = frame.displayIndex;
    packet.dts = frame.decodeIndex - reader_.ReorderDelay();
    packet.duration = 1;
    packet.flags = frame.keyFrame ? AV_PKT_FLAG_KEY : 0;
    if (aspectFilter_) aspectFilter_->Filter(packet);
    packet.stream_index = streamIndex_;
    packet.time_base = AVRational{timing_.frameDuration, timing_.timescale};
    return true;
}

}  // namespace standin
