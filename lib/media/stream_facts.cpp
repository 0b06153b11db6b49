#include "media/stream_facts.h"

#include <algorithm>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace kestrun::media {
namespace {

struct CodecName {
    AVCodecID id;
    const char* name;
};
// Names as the consoles' lists and people call them; other codecs show FFmpeg's long name.
constexpr CodecName kCodecNames[] = {
    {AV_CODEC_ID_H264, "H.264"},        {AV_CODEC_ID_HEVC, "HEVC"},
    {AV_CODEC_ID_AV1, "AV1"},           {AV_CODEC_ID_VP9, "VP9"},
    {AV_CODEC_ID_VP8, "VP8"},           {AV_CODEC_ID_MPEG2VIDEO, "MPEG-2"},
    {AV_CODEC_ID_MPEG1VIDEO, "MPEG-1"}, {AV_CODEC_ID_MPEG4, "MPEG-4 Part 2"},
    {AV_CODEC_ID_VC1, "VC-1"},          {AV_CODEC_ID_WMV3, "VC-1"},
    {AV_CODEC_ID_AC3, "AC-3"},          {AV_CODEC_ID_EAC3, "E-AC-3"},
    {AV_CODEC_ID_TRUEHD, "TrueHD"},     {AV_CODEC_ID_DTS, "DTS"},
    {AV_CODEC_ID_FLAC, "FLAC"},         {AV_CODEC_ID_OPUS, "Opus"},
    {AV_CODEC_ID_VORBIS, "Vorbis"},     {AV_CODEC_ID_AAC, "AAC"},
    {AV_CODEC_ID_MP3, "MP3"},           {AV_CODEC_ID_MP2, "MP2"},
    {AV_CODEC_ID_ALAC, "ALAC"},         {AV_CODEC_ID_WAVPACK, "WavPack"},
};

bool IsPcm(AVCodecID id) { return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT; }

std::string CodecDisplayName(AVCodecID id) {
    for (const CodecName& known : kCodecNames)
        if (known.id == id) return known.name;
    if (IsPcm(id)) return "LPCM";
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    if (!descriptor) return "unknown";
    return descriptor->long_name ? descriptor->long_name : descriptor->name;
}

std::string ChromaText(const AVPixFmtDescriptor& format) {
    if (format.nb_components < 3) return "4:0:0";
    if (format.log2_chroma_w == 1 && format.log2_chroma_h == 1) return "4:2:0";
    if (format.log2_chroma_w == 1 && format.log2_chroma_h == 0) return "4:2:2";
    if (format.log2_chroma_w == 0 && format.log2_chroma_h == 0) return "4:4:4";
    return "other";
}

VideoStreamFacts VideoFactsOf(const AVCodecParameters& parameters) {
    VideoStreamFacts facts;
    facts.codec = avcodec_get_name(parameters.codec_id);
    facts.name = CodecDisplayName(parameters.codec_id);
    facts.profile = parameters.profile;
    if (const char* profile = avcodec_profile_name(parameters.codec_id, parameters.profile))
        facts.profileName = profile;
    const AVPixFmtDescriptor* pixels =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(parameters.format));
    if (pixels && !(pixels->flags & AV_PIX_FMT_FLAG_HWACCEL)) {
        facts.bitDepth = pixels->comp[0].depth;
        facts.chroma = ChromaText(*pixels);
    }
    return facts;
}

AudioStreamFacts AudioFactsOf(const AVCodecParameters& parameters) {
    return {CodecDisplayName(parameters.codec_id), parameters.ch_layout.nb_channels,
            avcodec_find_decoder(parameters.codec_id) != nullptr};
}

}  // namespace

FormatContextPtr OpenLocalSource(const std::string& path) {
    AVFormatContext* context = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + path;
    const int result = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    return FormatContextPtr(result < 0 ? nullptr : context);
}

std::map<int, int> MatroskaStreamTracks(const AVFormatContext& format,
                                        const std::vector<MatroskaTrackEntry>& entries) {
    std::vector<int> videoStreams;
    std::vector<int> audioStreams;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVMediaType type = format.streams[i]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) videoStreams.push_back(static_cast<int>(i));
        if (type == AVMEDIA_TYPE_AUDIO) audioStreams.push_back(static_cast<int>(i));
    }
    std::map<int, int> tracks;
    const auto firstVideo =
        std::find_if(entries.begin(), entries.end(),
                     [](const MatroskaTrackEntry& e) { return e.type == kMatroskaTrackTypeVideo; });
    if (firstVideo != entries.end() && !videoStreams.empty())
        tracks[videoStreams.front()] = static_cast<int>(firstVideo->number);
    // The same matching the decoder trusts: one audio stream per audio entry, in file order.
    if (CountDemuxedAudioTracks(entries) == static_cast<int>(audioStreams.size())) {
        for (const MatroskaTrackEntry& entry : entries) {
            const auto ordinal = DemuxedAudioOrdinal(entries, entry.number);
            if (entry.type == kMatroskaTrackTypeAudio && ordinal)
                tracks[audioStreams[static_cast<size_t>(*ordinal)]] =
                    static_cast<int>(entry.number);
        }
    }
    return tracks;
}

std::vector<int64_t> ChapterStarts(const AVFormatContext& format, AVRational timeBase) {
    int64_t origin = 0;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream& s = *format.streams[i];
        if (s.codecpar->codec_type != AVMEDIA_TYPE_VIDEO || s.start_time == AV_NOPTS_VALUE)
            continue;
        origin = av_rescale_q(s.start_time, s.time_base, timeBase);
        break;
    }
    std::vector<int64_t> starts;
    for (unsigned i = 0; i < format.nb_chapters; ++i) {
        const AVChapter& chapter = *format.chapters[i];
        starts.push_back(std::max<int64_t>(
            0, av_rescale_q(chapter.start, chapter.time_base, timeBase) - origin));
    }
    std::sort(starts.begin(), starts.end());
    return starts;
}

SourceStreamFacts ReadSourceStreamFacts(const std::string& path) {
    SourceStreamFacts facts;
    const auto entries = ReadMatroskaTrackEntries(path);
    if (entries.empty()) return facts;
    av_log_set_level(AV_LOG_QUIET);
    const FormatContextPtr format = OpenLocalSource(path);
    if (!format) return facts;
    const std::map<int, int> tracks = MatroskaStreamTracks(*format, entries);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (!tracks.count(static_cast<int>(i))) format->streams[i]->discard = AVDISCARD_ALL;
    // The profile, bit depth and chroma sampling of H.264 come from its parameter sets, which
    // the stream information step reads; the Matroska header alone leaves them open.
    avformat_find_stream_info(format.get(), nullptr);
    for (const auto& [index, track] : tracks) {
        const AVCodecParameters& parameters = *format->streams[index]->codecpar;
        if (parameters.codec_type == AVMEDIA_TYPE_VIDEO)
            facts.video = VideoFactsOf(parameters);
        else
            facts.audioByTrack[track] = AudioFactsOf(parameters);
    }
    facts.chapterStartsMs = ChapterStarts(*format, AVRational{1, 1000});
    return facts;
}

}  // namespace kestrun::media
