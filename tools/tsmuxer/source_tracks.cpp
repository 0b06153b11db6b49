#include "source_tracks.h"

#include <algorithm>
#include <stdexcept>

#include "common/mkvmerge_tracks.h"

namespace standin::ts {

std::optional<int64_t> VideoStart(const AVFormatContext& input, AVRational unit) {
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& s = *input.streams[i];
        if (s.codecpar->codec_type == AVMEDIA_TYPE_VIDEO && s.start_time != AV_NOPTS_VALUE)
            return av_rescale_q(s.start_time, s.time_base, unit);
    }
    return std::nullopt;
}

int StreamOfTrackNumber(AVFormatContext& input, const std::string& path, long long number) {
    if (std::string(input.iformat->name).find("matroska") == std::string::npos)
        return number >= 1 && number <= input.nb_streams ? static_cast<int>(number - 1) : -1;
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
