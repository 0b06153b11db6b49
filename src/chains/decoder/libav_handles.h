#pragma once
// Owning handles for the FFmpeg objects the decoder uses, and readable error texts.
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace kestrun {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;

// A channel layout that releases what it owns (custom-order layouts allocate their map).
class ChannelLayout {
public:
    ChannelLayout() = default;
    explicit ChannelLayout(const AVChannelLayout& layout) {
        av_channel_layout_copy(&layout_, &layout);
    }
    ChannelLayout(const ChannelLayout& other) : ChannelLayout(other.layout_) {}
    ChannelLayout& operator=(const ChannelLayout& other) {
        if (this != &other) av_channel_layout_copy(&layout_, &other.layout_);
        return *this;
    }
    ~ChannelLayout() { av_channel_layout_uninit(&layout_); }

    static ChannelLayout FromMask(std::uint64_t mask) {
        ChannelLayout result;
        av_channel_layout_from_mask(&result.layout_, mask);
        return result;
    }
    static ChannelLayout Default(int channels) {
        ChannelLayout result;
        av_channel_layout_default(&result.layout_, channels);
        return result;
    }

    const AVChannelLayout& Get() const { return layout_; }
    int Channels() const { return layout_.nb_channels; }
    bool operator==(const ChannelLayout& other) const {
        return av_channel_layout_compare(&layout_, &other.layout_) == 0;
    }

private:
    AVChannelLayout layout_{};
};

// FFmpeg's text for an error code ("Invalid data found when processing input").
std::string LibavErrorText(int code);

}  // namespace kestrun
