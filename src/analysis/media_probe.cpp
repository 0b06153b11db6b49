#include "analysis/media_probe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "analysis/declared_size.h"
#include "analysis/h264_checker_report.h"
#include "media/declared_duration.h"
#include "media/libav_handles.h"
#include "media/mpeg4_vol.h"

namespace kestrun {
namespace {

// Streams of containers without a header (transport and program streams) are found by reading
// ahead; this much at most, whatever the file's size.
constexpr int64_t kProbeBytes = 2 << 20;
constexpr int64_t kProbeMicroseconds = 1'000'000;
// A stream whose first packet lies beyond that (one picture beside seconds of sound: a
// transport stream gives out a picture only when the next one begins, or at the end) is found
// by reading on to here; FFmpeg would otherwise give it the whole file's length.
constexpr int64_t kLongProbeBytes = 64 << 20;
constexpr int64_t kLongProbeMicroseconds = 3600LL * 1'000'000;
constexpr int kFramesSearchedForVol = 8;
// How far a frame count over the frame rate may be from the lengths the headers give.
constexpr double kFrameCountAgreementSeconds = 0.25;

using media::InputPtr;

Container ContainerOf(const char* formatName) {
    const std::string name = formatName ? formatName : "";
    auto has = [&name](const char* part) { return name.find(part) != std::string::npos; };
    if (has("matroska")) return Container::Matroska;
    if (has("mp4") || has("mov")) return Container::Mp4;
    if (name == "mpegts") return Container::MpegTs;
    if (name == "mpeg" || name == "vob") return Container::MpegPs;
    if (name == "avi") return Container::Avi;
    if (name == "asf") return Container::Asf;
    return Container::Unknown;
}

VideoCodec VideoCodecOf(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_H264:
            return VideoCodec::H264;
        case AV_CODEC_ID_MPEG4:
            return VideoCodec::Mpeg4Part2;
        case AV_CODEC_ID_MPEG2VIDEO:
            return VideoCodec::Mpeg2;
        case AV_CODEC_ID_MPEG1VIDEO:
            return VideoCodec::Mpeg1;
        case AV_CODEC_ID_VC1:
            return VideoCodec::Vc1;
        case AV_CODEC_ID_WMV1:
        case AV_CODEC_ID_WMV2:
        case AV_CODEC_ID_WMV3:
            return VideoCodec::Wmv;
        default:
            return VideoCodec::Other;
    }
}

AudioCodec AudioCodecOf(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_AAC:
            return AudioCodec::Aac;
        case AV_CODEC_ID_AC3:
            return AudioCodec::Ac3;
        case AV_CODEC_ID_EAC3:
            return AudioCodec::Eac3;
        case AV_CODEC_ID_DTS:
            return AudioCodec::Dts;
        case AV_CODEC_ID_MP3:
            return AudioCodec::Mp3;
        case AV_CODEC_ID_MP2:
            return AudioCodec::Mp2;
        case AV_CODEC_ID_PCM_S16LE:
        case AV_CODEC_ID_PCM_S16BE:
        case AV_CODEC_ID_PCM_S24LE:
        case AV_CODEC_ID_PCM_BLURAY:
        case AV_CODEC_ID_PCM_DVD:
            return AudioCodec::Lpcm;
        case AV_CODEC_ID_WMAV1:
        case AV_CODEC_ID_WMAV2:
            return AudioCodec::Wma;
        case AV_CODEC_ID_WMAPRO:
            return AudioCodec::WmaPro;
        case AV_CODEC_ID_VORBIS:
            return AudioCodec::Vorbis;
        default:
            return AudioCodec::Other;
    }
}

// AAC LC: audio object type 2 in the AudioSpecificConfig, else the profile the parser found.
std::optional<bool> AacLowComplexity(const AVCodecParameters& codec) {
    if (codec.extradata_size >= 1) return (codec.extradata[0] >> 3) == 2;
    if (codec.profile == FF_PROFILE_AAC_LOW) return true;
    if (codec.profile != FF_PROFILE_UNKNOWN) return false;
    return std::nullopt;
}

// The first layer header of MPEG-4 Part 2 video: in the extra data, else in the first frames.
std::optional<media::mpeg4::VolFlags> VolFlags(AVFormatContext& input, int stream) {
    const AVCodecParameters& codec = *input.streams[stream]->codecpar;
    if (auto flags = media::mpeg4::ReadVolFlags(codec.extradata, codec.extradata_size))
        return flags;
    media::PacketPtr packet(av_packet_alloc());
    for (int frames = 0; packet && frames < kFramesSearchedForVol;) {
        if (av_read_frame(&input, packet.get()) < 0) break;
        if (packet->stream_index == stream) {
            ++frames;
            if (auto flags = media::mpeg4::ReadVolFlags(packet->data, packet->size)) return flags;
        }
        av_packet_unref(packet.get());
    }
    return std::nullopt;
}

// The stream's own length: from the container's index (MP4), else the DURATION tag (Matroska).
std::optional<double> StreamSeconds(const AVStream& st) {
    if (st.duration <= 0 || st.duration == AV_NOPTS_VALUE) return media::DeclaredTrackSeconds(st);
    return st.duration * av_q2d(st.time_base);
}

// mkvmerge's statistics tag. Other muxers copy the tags of their source as they are, also into
// a file they cut, so the count is taken only when its length at the frame rate fits the file
// and the track's own length.
std::optional<int64_t> StatisticsFrameCount(const AVStream& st, const std::optional<double>& fps,
                                            const std::optional<double>& fileSeconds) {
    const AVDictionaryEntry* tag = av_dict_get(st.metadata, "NUMBER_OF_FRAMES", nullptr, 0);
    if (!tag || !tag->value || !fps || !fileSeconds) return std::nullopt;
    char* end = nullptr;
    const long long count = std::strtoll(tag->value, &end, 10);
    if (end == tag->value || *end != '\0' || count <= 0) return std::nullopt;
    const double seconds = count / *fps;
    const auto trackSeconds = media::DeclaredTrackSeconds(st);
    const bool fitsTheFile = seconds <= *fileSeconds + kFrameCountAgreementSeconds;
    const bool fitsTheTrack =
        !trackSeconds || std::fabs(seconds - *trackSeconds) <= kFrameCountAgreementSeconds;
    if (!fitsTheFile || !fitsTheTrack) return std::nullopt;
    return count;
}

// The frame count of the container's index or sample table, else the statistics tag.
std::optional<int64_t> HeaderFrameCount(const AVStream& st, const std::optional<double>& fps,
                                        const std::optional<double>& fileSeconds) {
    if (st.nb_frames > 0) return st.nb_frames;
    return StatisticsFrameCount(st, fps, fileSeconds);
}

VideoFacts ReadVideo(AVFormatContext& input, int stream, const MediaFacts& facts) {
    const AVStream& st = *input.streams[stream];
    const AVCodecParameters& codec = *st.codecpar;
    VideoFacts v;
    v.codec = VideoCodecOf(codec.codec_id);
    v.codecName = avcodec_get_name(codec.codec_id);
    v.width = codec.width;
    v.height = codec.height;
    AVRational rate = st.avg_frame_rate.num > 0 ? st.avg_frame_rate : st.r_frame_rate;
    if (rate.num > 0 && rate.den > 0) v.fps = av_q2d(rate);
    v.seconds = StreamSeconds(st);
    v.frames = HeaderFrameCount(st, v.fps, facts.seconds);
    if (codec.codec_id == AV_CODEC_ID_H264 && codec.extradata_size >= 4 && codec.extradata[0] == 1)
        v.avccLevelIdc = codec.extradata[3];
    if (codec.bit_rate > 0) {
        v.bitRate = codec.bit_rate;
    } else if (input.duration > 0) {
        v.bitRate = static_cast<int64_t>(facts.fileSize * 8.0 * AV_TIME_BASE / input.duration);
        v.bitRateOfWholeFile = true;
    }
    if (v.codec == VideoCodec::H264 && facts.path.find('"') == std::string::npos)
        v.h264 = ReadH264Facts(facts.path);
    if (v.codec == VideoCodec::Mpeg4Part2) {
        if (auto flags = VolFlags(input, stream)) v.gmc = flags->gmc, v.qpel = flags->qpel;
    }
    return v;
}

AudioFacts ReadAudio(const AVStream& st) {
    const AVCodecParameters& codec = *st.codecpar;
    AudioFacts a;
    a.seconds = StreamSeconds(st);
    a.codec = AudioCodecOf(codec.codec_id);
    a.codecName = avcodec_get_name(codec.codec_id);
    a.channels = codec.ch_layout.nb_channels;
    if (a.codec == AudioCodec::Aac) a.aacLowComplexity = AacLowComplexity(codec);
    return a;
}

// Opens the file and, for a container without a header, reads ahead up to the limits to find
// its streams; `readAhead` tells whether it did.
InputPtr OpenInput(const std::string& path, int64_t probeBytes, int64_t probeMicroseconds,
                   bool* readAhead, std::string* error) {
    AVFormatContext* raw = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "probesize", probeBytes, 0);
    av_dict_set_int(&options, "analyzeduration", probeMicroseconds, 0);
    // "file:" keeps a name with a colon a file name.
    const int opened = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        *error = "not a media file FFmpeg can read (" + media::LibavErrorText(opened) + ")";
        return nullptr;
    }
    InputPtr input(raw);
    *readAhead = (input->ctx_flags & AVFMTCTX_NOHEADER) != 0;
    if (*readAhead && avformat_find_stream_info(raw, nullptr) < 0) {
        *error = "its streams cannot be read";
        return nullptr;
    }
    return input;
}

// A sound or picture stream that no packet was read of: its parameters are not known.
bool SomeStreamUnseen(const AVFormatContext& input) {
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& st = *input.streams[i];
        const AVCodecParameters& codec = *st.codecpar;
        if (st.disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
        if (codec.codec_type == AVMEDIA_TYPE_VIDEO && codec.width == 0) return true;
        if (codec.codec_type == AVMEDIA_TYPE_AUDIO && codec.sample_rate == 0) return true;
    }
    return false;
}

bool IsRegularFile(const std::string& path, uint64_t* size, std::string* error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        *error = std::string("cannot read it: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = "not a file";
        return false;
    }
    *size = static_cast<uint64_t>(info.st_size);
    return true;
}

// The span of a stream's packets: from the earliest start to the latest end.
struct PacketSpan {
    int64_t first = INT64_MAX, last = INT64_MIN;
    int64_t packets = 0;
    void Add(const AVPacket& packet) {
        const int64_t start = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        if (start == AV_NOPTS_VALUE) return;
        ++packets;
        first = std::min(first, start);
        last = std::max(last, start + std::max<int64_t>(packet.duration, 0));
    }
    std::optional<double> Seconds(AVRational timeBase) const {
        if (packets == 0) return std::nullopt;
        return (last - first) * av_q2d(timeBase);
    }
};

}  // namespace

bool CutShort(const MediaFacts& facts) {
    return facts.declaredSize && *facts.declaredSize > facts.fileSize;
}

bool MeasureWhatItHolds(MediaFacts& facts) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avformat_open_input(&raw, ("file:" + facts.path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return false;
    InputPtr input(raw);
    int videoStream = -1;
    std::vector<int> audioStreams;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream& st = *input->streams[i];
        if (st.codecpar->codec_type == AVMEDIA_TYPE_VIDEO && videoStream < 0 &&
            !(st.disposition & AV_DISPOSITION_ATTACHED_PIC))
            videoStream = static_cast<int>(i);
        else if (st.codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            audioStreams.push_back(static_cast<int>(i));
        else
            input->streams[i]->discard = AVDISCARD_ALL;
    }
    std::vector<PacketSpan> spans(input->nb_streams);
    media::PacketPtr packet(av_packet_alloc());
    if (!packet) return false;
    // The file ends where it was cut: the reading ends there too.
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index >= 0 && static_cast<unsigned>(packet->stream_index) < spans.size())
            spans[static_cast<size_t>(packet->stream_index)].Add(*packet);
        av_packet_unref(packet.get());
    }
    if (facts.video && videoStream >= 0) {
        const PacketSpan& span = spans[static_cast<size_t>(videoStream)];
        facts.video->frames = span.packets;
        facts.video->seconds = span.Seconds(input->streams[videoStream]->time_base);
    }
    for (size_t a = 0; a < facts.audio.size() && a < audioStreams.size(); ++a)
        facts.audio[a].seconds = spans[static_cast<size_t>(audioStreams[a])].Seconds(
            input->streams[audioStreams[a]]->time_base);
    return true;
}

std::optional<MediaFacts> ReadMediaFacts(Context& /*ctx*/, const std::string& path,
                                         std::string* error) {
    MediaFacts facts;
    facts.path = path;
    if (!IsRegularFile(path, &facts.fileSize, error)) return std::nullopt;

    av_log_set_level(AV_LOG_QUIET);
    bool readAhead = false;
    InputPtr input = OpenInput(path, kProbeBytes, kProbeMicroseconds, &readAhead, error);
    if (input && readAhead && SomeStreamUnseen(*input))
        input = OpenInput(path, kLongProbeBytes, kLongProbeMicroseconds, &readAhead, error);
    if (!input) return std::nullopt;
    facts.containerName = input->iformat->name;
    if (input->duration > 0) facts.seconds = input->duration / double(AV_TIME_BASE);
    facts.container = ContainerOf(input->iformat->name);
    if (const auto declared = ReadDeclaredSize(path, facts.container)) {
        facts.declaredSize = declared->bytes;
        facts.declaredBy = declared->declaredBy;
    }

    int videoStream = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters& codec = *input->streams[i]->codecpar;
        if (codec.codec_type == AVMEDIA_TYPE_VIDEO && videoStream < 0 &&
            !(input->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            videoStream = static_cast<int>(i);
        if (codec.codec_type == AVMEDIA_TYPE_AUDIO)
            facts.audio.push_back(ReadAudio(*input->streams[i]));
    }
    if (videoStream >= 0) facts.video = ReadVideo(*input, videoStream, facts);
    if (!facts.video && facts.audio.empty()) {
        *error = "no video or audio stream found";
        return std::nullopt;
    }
    return facts;
}

}  // namespace kestrun
