#include "ts_mux.h"

#include <cmath>
#include <exception>
#include <stdexcept>

#include "common/lib_names.h"
#include "common/packet_lanes.h"
#include "m2ts_output.h"
#include "media/libav_handles.h"
#include "ts_packets.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace standin::ts {
namespace {

constexpr AVRational k90kHz{1, 90000};
constexpr int64_t kLead = 90000;  // every stream starts one second in, so no time is negative
constexpr int kIoBufferSize = 192 * 1024;

struct OutputFree {
    void operator()(AVFormatContext* context) const {
        if (context->pb) {
            av_freep(&context->pb->buffer);
            avio_context_free(&context->pb);
        }
        avformat_free_context(context);
    }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFree>;

struct Sink {
    M2tsOutput* output;
    std::exception_ptr error;
};

int WriteToSink(void* opaque, uint8_t* data, int size) {
    Sink& sink = *static_cast<Sink*>(opaque);
    try {
        sink.output->Write(data, static_cast<size_t>(size));
        return size;
    } catch (...) {
        sink.error = std::current_exception();
        return AVERROR(EIO);
    }
}

void Check(int rc, const Sink& sink, const std::string& what) {
    if (sink.error) std::rethrow_exception(sink.error);
    if (rc < 0) throw std::runtime_error(what + ": " + LibavErrorText(rc));
}

uint8_t FrameRateCode(AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0) return 1;
    const double fps = av_q2d(rate);
    struct Code {
        double fps;
        uint8_t code;
    };
    constexpr Code kCodes[] = {{23.976, 1}, {24, 2}, {25, 3}, {29.97, 4}, {50, 6}, {59.94, 7}};
    uint8_t best = 1;
    double bestDistance = 1e9;
    for (const Code& c : kCodes) {
        if (std::fabs(c.fps - fps) < bestDistance) {
            bestDistance = std::fabs(c.fps - fps);
            best = c.code;
        }
    }
    return best;
}

uint8_t VideoFormatCode(const AVCodecParameters& codec) {
    const bool interlaced =
        codec.field_order != AV_FIELD_PROGRESSIVE && codec.field_order != AV_FIELD_UNKNOWN;
    if (codec.height > 720) return interlaced ? 4 : 6;
    if (codec.height > 576) return 5;
    if (codec.height > 480) return interlaced ? 2 : 7;
    return interlaced ? 1 : 3;
}

uint8_t CodingType(const AVCodecParameters& codec) {
    switch (codec.codec_id) {
        case AV_CODEC_ID_H264:
            return kCodingH264;
        case AV_CODEC_ID_VC1:
            return kCodingVc1;
        case AV_CODEC_ID_MPEG2VIDEO:
            return kCodingMpeg2Video;
        case AV_CODEC_ID_AC3:
            return kCodingAc3;
        case AV_CODEC_ID_EAC3:
            return kCodingEac3;
        case AV_CODEC_ID_DTS:
            if (codec.profile == FF_PROFILE_DTS_HD_MA) return kCodingDtsHdMa;
            if (codec.profile == FF_PROFILE_DTS_HD_HRA) return kCodingDtsHdHra;
            return kCodingDts;
        case AV_CODEC_ID_TRUEHD:
            return kCodingTrueHd;
        case AV_CODEC_ID_PCM_BLURAY:
            return kCodingLpcm;
        case AV_CODEC_ID_HDMV_PGS_SUBTITLE:
            return kCodingPg;
        default:
            return 0;
    }
}

StreamAttributes AttributesOf(const AVStream& stream) {
    const AVCodecParameters& codec = *stream.codecpar;
    StreamAttributes s;
    s.pid = static_cast<uint16_t>(stream.id);
    s.codingType = CodingType(codec);
    s.video = codec.codec_type == AVMEDIA_TYPE_VIDEO;
    s.pg = codec.codec_type == AVMEDIA_TYPE_SUBTITLE;
    if (s.video) {
        s.videoFormat = VideoFormatCode(codec);
        s.frameRate = FrameRateCode(stream.avg_frame_rate);
        AVRational sar =
            codec.sample_aspect_ratio.num > 0 ? codec.sample_aspect_ratio : AVRational{1, 1};
        const double display = double(codec.width) * av_q2d(sar) / std::max(1, codec.height);
        s.aspect = display >= 1.5 ? 3 : 2;
    } else if (!s.pg) {
        const int channels = codec.ch_layout.nb_channels;
        s.presentation = channels <= 1 ? 1 : channels == 2 ? 3 : 6;
        s.samplingFrequency = codec.sample_rate >= 192000 ? 5 : codec.sample_rate >= 96000 ? 4 : 1;
    }
    if (const AVDictionaryEntry* language = av_dict_get(stream.metadata, "language", nullptr, 0))
        if (std::string(language->value).size() == 3) s.language = language->value;
    return s;
}

int64_t FrameDuration90k(const AVFormatContext& output) {
    for (unsigned i = 0; i < output.nb_streams; ++i) {
        const AVStream& s = *output.streams[i];
        if (s.codecpar->codec_type == AVMEDIA_TYPE_VIDEO && s.avg_frame_rate.num > 0)
            return av_rescale_q(1, av_inv_q(s.avg_frame_rate), k90kHz);
    }
    return 3754;  // 23.976
}

}  // namespace

MuxResult MuxM2ts(const std::vector<std::unique_ptr<PacketSource>>& inputs,
                  const std::function<std::string(int)>& clipPath, int64_t splitBytes) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mpegts", nullptr) < 0 || !raw)
        throw std::runtime_error("FFmpeg's transport stream writer is not available");
    OutputPtr output(raw);
    for (const auto& input : inputs) input->AddStreams(*output);
    // The Blu-ray PIDs: video 0x1011, audio from 0x1100 and subtitles from 0x1200, each in the
    // order of the meta file.
    int audioPid = kFirstAudioPid, pgPid = kFirstPgPid;
    for (unsigned i = 0; i < output->nb_streams; ++i) {
        AVStream& s = *output->streams[i];
        const AVMediaType type = s.codecpar->codec_type;
        s.id = type == AVMEDIA_TYPE_VIDEO      ? kVideoPid
               : type == AVMEDIA_TYPE_SUBTITLE ? pgPid++
                                               : audioPid++;
    }

    std::unique_ptr<M2tsOutput> m2ts;
    Sink sink{nullptr, nullptr};
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer) throw std::bad_alloc();
    output->pb = avio_alloc_context(buffer, kIoBufferSize, 1, &sink, nullptr, WriteToSink, nullptr);
    if (!output->pb) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    m2ts = std::make_unique<M2tsOutput>(clipPath, FrameDuration90k(*output), splitBytes);
    sink.output = m2ts.get();

    AVDictionary* options = nullptr;
    av_dict_set(&options, "mpegts_m2ts_mode", "1", 0);
    av_dict_set(&options, "pes_payload_size", "0", 0);  // one audio frame per PES packet
    int rc = avformat_write_header(output.get(), &options);
    av_dict_free(&options);
    Check(rc, sink, "cannot start the transport stream");

    MuxResult result;
    for (unsigned i = 0; i < output->nb_streams; ++i) {
        StreamAttributes s = AttributesOf(*output->streams[i]);
        if (s.video)
            result.streams.insert(result.streams.begin(), s);
        else
            result.streams.push_back(s);
    }

    std::vector<Lane> lanes;
    for (const auto& input : inputs) lanes.push_back(Lane{input.get()});
    for (Lane& lane : lanes) lane.Advance();
    while (Lane* lane = EarliestLane(lanes)) {
        AVPacket& packet = *lane->packet;
        const AVRational target = output->streams[packet.stream_index]->time_base;
        av_packet_rescale_ts(&packet, packet.time_base, target);
        packet.time_base = target;
        const int64_t lead = av_rescale_q(kLead, k90kHz, target);
        packet.pts += lead;
        packet.dts += lead;
        if (packet.dts >= 0)
            Check(av_interleaved_write_frame(output.get(), &packet), sink, "cannot mux");
        lane->Advance();
    }
    Check(av_write_trailer(output.get()), sink, "cannot finish the transport stream");
    avio_flush(output->pb);
    Check(output->pb->error, sink, "cannot write the transport stream");
    m2ts->Finish();
    result.clips = m2ts->Clips();
    result.clipPaths = m2ts->Paths();
    result.overLimit = m2ts->OverLimit();
    return result;
}

}  // namespace standin::ts
