#include "media/libav_handles.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace kestrun::media {

std::string LibavErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

PacketPtr NewPacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet) throw std::bad_alloc();
    return packet;
}

InputPtr OpenInput(const std::string& path, bool probeStreams) {
    AVFormatContext* context = nullptr;
    int rc = avformat_open_input(&context, AvFilePath(path).c_str(), nullptr, nullptr);
    if (rc < 0) throw std::runtime_error("cannot read " + path + ": " + LibavErrorText(rc));
    InputPtr input(context);
    if (!probeStreams) return input;
    rc = avformat_find_stream_info(context, nullptr);
    if (rc < 0)
        throw std::runtime_error("cannot read the streams of " + path + ": " + LibavErrorText(rc));
    return input;
}

void SetExtradata(AVCodecParameters& codec, const uint8_t* data, size_t size) {
    av_freep(&codec.extradata);
    codec.extradata_size = 0;
    codec.extradata = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codec.extradata) throw std::bad_alloc();
    std::memcpy(codec.extradata, data, size);
    codec.extradata_size = static_cast<int>(size);
}

}  // namespace kestrun::media
