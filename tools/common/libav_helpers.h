#pragma once
// Small owners and texts for FFmpeg's C objects.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

namespace standin {

std::string AvErrorText(int code);

// libavformat takes "name:rest" for a protocol; the "file:" prefix keeps every path a file.
inline std::string AvFilePath(const std::string& path) { return "file:" + path; }

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
PacketPtr NewPacket();  // throws std::bad_alloc

struct InputClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputClose>;

// Opens a file and, with `probeStreams`, reads ahead until the parameters of its streams are
// known; throws std::runtime_error naming the file when that fails.
InputPtr OpenInput(const std::string& path, bool probeStreams = true);

// Gives a copy of `data` to a codec parameter set as its extradata (with FFmpeg's padding).
void SetExtradata(AVCodecParameters& codec, const uint8_t* data, size_t size);

}  // namespace standin
