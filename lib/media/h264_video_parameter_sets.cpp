#include "media/h264_video_parameter_sets.h"

#include <stdexcept>

#include "media/byte_order.h"
#include "media/h264_nal.h"
#include "media/h264_parameter_sets.h"
#include "media/libav_handles.h"

namespace kestrun::media {
namespace {

constexpr int kFramesSearchedForHeaders = 50;

int FindH264Track(const AVFormatContext& container, const std::string& path) {
    std::string otherCodec;
    for (unsigned i = 0; i < container.nb_streams; ++i) {
        const AVCodecParameters& codec = *container.streams[i]->codecpar;
        if (codec.codec_type != AVMEDIA_TYPE_VIDEO || codec.codec_id == AV_CODEC_ID_NONE) continue;
        if (codec.codec_id == AV_CODEC_ID_H264) return static_cast<int>(i);
        if (otherCodec.empty()) otherCodec = avcodec_get_name(codec.codec_id);
    }
    if (!otherCodec.empty())
        throw std::runtime_error("the video of " + path + " is not H.264 but " + otherCodec);
    throw std::runtime_error("no video track in " + path);
}

std::vector<std::vector<uint8_t>> SpsOfCodecPrivate(const AVCodecParameters& codec) {
    if (codec.extradata_size <= 0) return {};
    try {
        return h264::ReadParameterSets(codec.extradata, codec.extradata_size).sps;
    } catch (const std::runtime_error&) {
        return {};  // the frames may still carry the headers
    }
}

// SPS units of a frame stored either with start codes or with 4-byte length prefixes.
std::vector<std::vector<uint8_t>> SpsOfFrame(const uint8_t* data, size_t size) {
    auto sets = h264::ParameterSetsInAnnexB(data, size);
    if (!sets.sps.empty()) return sets.sps;
    std::vector<std::vector<uint8_t>> found;
    for (size_t pos = 0; pos + 4 <= size;) {
        const size_t length = ReadBe32(data + pos);
        pos += 4;
        if (length == 0 || length > size - pos) break;
        if (h264::NalTypeOf(data[pos]) == h264::kNalSps)
            found.emplace_back(data + pos, data + pos + length);
        pos += length;
    }
    return found;
}

std::vector<std::vector<uint8_t>> SpsOfFirstFrames(AVFormatContext& container, int streamIndex) {
    const PacketPtr packet = NewPacket();
    for (int frames = 0; frames < kFramesSearchedForHeaders;) {
        if (av_read_frame(&container, packet.get()) < 0) break;
        if (packet->stream_index == streamIndex) {
            ++frames;
            auto sps = SpsOfFrame(packet->data, static_cast<size_t>(packet->size));
            if (!sps.empty()) return sps;
        }
        av_packet_unref(packet.get());
    }
    return {};
}

}  // namespace

VideoParameterSets ReadVideoParameterSets(const std::string& path) {
    // The stream headers suffice; the frames are read below only when they hold no SPS.
    InputPtr container = OpenInput(path, /*probeStreams=*/false);
    VideoParameterSets result;
    result.streamIndex = FindH264Track(*container, path);
    result.sps = SpsOfCodecPrivate(*container->streams[result.streamIndex]->codecpar);
    if (result.sps.empty()) result.sps = SpsOfFirstFrames(*container, result.streamIndex);
    if (result.sps.empty())
        throw std::runtime_error("no H.264 sequence parameter set found in " + path);
    return result;
}

}  // namespace kestrun::media
