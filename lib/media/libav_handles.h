#pragma once
// Owning handles for FFmpeg's C objects, opening a file, and readable error texts: the one set
// that the application and the stand-ins share.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace kestrun::media {

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
using InputPtr = FormatContextPtr;
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

// libavformat takes "name:rest" for a protocol; the "file:" prefix keeps every path a file.
inline std::string AvFilePath(const std::string& path) { return "file:" + path; }

PacketPtr NewPacket();  // throws std::bad_alloc

// Opens a file and, with `probeStreams`, reads ahead until the parameters of its streams are
// known; throws std::runtime_error naming the file when that fails.
InputPtr OpenInput(const std::string& path, bool probeStreams = true);

// Gives a copy of `data` to a codec parameter set as its extradata (with FFmpeg's padding).
void SetExtradata(AVCodecParameters& codec, const uint8_t* data, size_t size);

}  // namespace kestrun::media
