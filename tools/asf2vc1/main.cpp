// asf2vc1: the VC-1 video of an ASF/WMV file as an elementary stream.
//   asf2vc1 SOURCE.wmv OUT.vc1
// OUT starts with the sequence header and entry point of the source's codec data; every frame
// follows with its frame start code. Only VC-1 Advanced Profile ("WVC1") has such a stream;
// other video (WMV1, WMV2, VC-1 Simple/Main as "WMV3") is refused. Failure: exit status 1 (2 for
// a bad command line) and a line on standard error; no output is left behind.
extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <cstring>
#include <iostream>
#include <stdexcept>

#include "base/partial_output_file.h"
#include "common/fail.h"
#include "common/file_checks.h"
#include "common/lib_names.h"
#include "media/libav_handles.h"

namespace {

constexpr const char* kTool = "asf2vc1";
constexpr uint8_t kFrameStartCode[] = {0x00, 0x00, 0x01, 0x0D};

const AVStream& VideoStream(const AVFormatContext& input, const std::string& path) {
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& s = *input.streams[i];
        if (s.codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if (s.codecpar->codec_id == AV_CODEC_ID_VC1) return s;
        const char* name = avcodec_get_name(s.codecpar->codec_id);
        if (s.codecpar->codec_id == AV_CODEC_ID_WMV3)
            throw std::runtime_error("the video of " + path +
                                     " is VC-1 Simple/Main profile (WMV3), which has no "
                                     "elementary stream form; VC-1 Advanced Profile is needed");
        throw std::runtime_error("the video of " + path + " is not VC-1 but " + name);
    }
    throw std::runtime_error(path + " holds no video");
}

// The codec data from its first start code: sequence header and entry point.
std::string SequenceHeader(const AVCodecParameters& codec, const std::string& path) {
    const uint8_t* data = codec.extradata;
    const int size = codec.extradata_size;
    for (int i = 0; i + 3 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0x0F)
            return std::string(reinterpret_cast<const char*>(data + i), size - i);
    throw std::runtime_error("the VC-1 video of " + path + " has no sequence header");
}

void Extract(const std::string& source, const std::string& target) {
    std::string problem = standin::ConversionFileProblem(source, target);
    if (!problem.empty()) throw std::runtime_error(problem);
    standin::InputPtr input = standin::OpenInput(source);
    const AVStream& video = VideoStream(*input, source);
    const std::string header = SequenceHeader(*video.codecpar, source);

    standin::PartialOutputFile partial(target);
    partial.Open();
    partial.Write(header);
    standin::PacketPtr packet = standin::NewPacket();
    long frames = 0;
    for (;;) {
        const int rc = av_read_frame(input.get(), packet.get());
        if (rc == AVERROR_EOF) break;
        if (rc < 0)
            throw std::runtime_error("cannot read " + source + ": " + standin::LibavErrorText(rc));
        if (packet->stream_index == video.index && packet->size > 0) {
            const bool hasStartCode = packet->size >= 3 && packet->data[0] == 0 &&
                                      packet->data[1] == 0 && packet->data[2] == 1;
            if (!hasStartCode) partial.Write(kFrameStartCode, sizeof kFrameStartCode);
            partial.Write(packet->data, static_cast<size_t>(packet->size));
            ++frames;
        }
        av_packet_unref(packet.get());
    }
    if (frames == 0) throw std::runtime_error(source + " holds no video frame");
    partial.Commit();
    std::cout << kTool << ": " << frames << " frames written to " << target << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    if (argc != 3) {
        standin::Fail(kTool, "usage: asf2vc1 SOURCE.wmv OUT.vc1");
        return 2;
    }
    try {
        Extract(argv[1], argv[2]);
        return 0;
    } catch (const std::exception& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
}
