#include "source_tracks.h"

#include <algorithm>
#include <stdexcept>

#include "common/mkvmerge_tracks.h"
#include "media/matroska_header.h"

namespace standin::ts {

std::optional<int64_t> VideoStart(const AVFormatContext& input, AVRational unit) {
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& s = *input.streams[i];
        if (s.codecpar->codec_type == AVMEDIA_TYPE_VIDEO && s.start_time != AV_NOPTS_VALUE)
            return av_rescale_q(s.start_time, s.time_base, unit);
    }
    return std::nullopt;
}

namespace {

bool SameKind(const kestrun::media::MatroskaTrackEntry& entry, AVMediaType type) {
    switch (entry.type) {
        case kestrun::media::kMatroskaTrackTypeVideo:
            return type == AVMEDIA_TYPE_VIDEO;
        case kestrun::media::kMatroskaTrackTypeAudio:
            return type == AVMEDIA_TYPE_AUDIO;
        case kestrun::media::kMatroskaTrackTypeSubtitle:
            return type == AVMEDIA_TYPE_SUBTITLE;
        default:
            return false;
    }
}

// The stream of track `number` from the file's own track list, where libavformat made one stream
// of every entry, in file order (each of the entry's kind); nullopt where that cannot be vouched
// for (an entry it left out, a number given twice, a header the reader gave up on).
std::optional<int> StreamFromTrackEntries(const AVFormatContext& input, const std::string& path,
                                          long long number) {
    const auto entries = kestrun::media::ReadMatroskaTrackEntries(path);
    if (entries.empty() || entries.size() != input.nb_streams) return std::nullopt;
    int found = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!SameKind(entries[i], input.streams[i]->codecpar->codec_type)) return std::nullopt;
        if (entries[i].number != static_cast<std::uint64_t>(number)) continue;
        if (found >= 0) return std::nullopt;
        found = static_cast<int>(i);
    }
    return found;
}

}  // namespace

int StreamOfTrackNumber(AVFormatContext& input, const std::string& path, long long number) {
    if (std::string(input.iformat->name).find("matroska") == std::string::npos)
        return number >= 1 && number <= input.nb_streams ? static_cast<int>(number - 1) : -1;
    if (number < 1) return -1;
    // Reading the header ourselves spares a run of mkvmerge per meta line (~70 ms each).
    if (const auto index = StreamFromTrackEntries(input, path, number)) return *index;
    const TrackListing listing = ListMatroskaTracks(path);
    if (!listing.error.empty()) throw std::runtime_error(listing.error);
    const MatroskaTrack* track = FindTrackByNumber(listing, number);
    if (!track || track->id < 0 || track->id >= input.nb_streams) return -1;
    return static_cast<int>(track->id);
}

int SubtitleStreamOfTrack(AVFormatContext& input, const std::string& path, long long number,
                          std::initializer_list<AVCodecID> codecs, const std::string& kind) {
    const int index = StreamOfTrackNumber(input, path, number);
    if (index < 0) throw std::runtime_error(path + " has no track " + std::to_string(number));
    const AVCodecID codec = input.streams[index]->codecpar->codec_id;
    if (std::find(codecs.begin(), codecs.end(), codec) == codecs.end())
        throw std::runtime_error(path + " track " + std::to_string(number) + " is no " + kind);
    return index;
}

}  // namespace standin::ts
