#include "decoder/audio_track_selection.h"

#include <cstring>
#include <vector>

#include "media/matroska_header.h"

namespace kestrun {
namespace {

std::vector<int> AudioStreamIndices(const AVFormatContext& format) {
    std::vector<int> indices;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const auto* stream = format.streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            indices.push_back(static_cast<int>(i));
        }
    }
    return indices;
}

bool IsMatroska(const AVFormatContext& format) {
    return format.iformat && std::strstr(format.iformat->name, "matroska") != nullptr;
}

// libavformat (5.1) leaves a Matroska stream's id at 0, so the number is looked up in the
// file's own track list. The demuxer makes one audio stream per audio entry, in file order;
// when the counts disagree the mapping is not trusted.
int MatroskaAudioStream(const std::vector<int>& audio, const std::string& path, int trackNumber) {
    const auto entries = media::ReadMatroskaTrackEntries(path);
    const auto ordinal =
        media::DemuxedAudioOrdinal(entries, static_cast<std::uint64_t>(trackNumber));
    if (!ordinal || media::CountDemuxedAudioTracks(entries) != static_cast<int>(audio.size())) {
        return -1;
    }
    return audio[static_cast<std::size_t>(*ordinal)];
}

int AudioStreamWithId(const AVFormatContext& format, const std::vector<int>& audio, int id) {
    for (const int index : audio) {
        if (format.streams[index]->id == id) return index;
    }
    return -1;
}

}  // namespace

int SelectAudioStream(const AVFormatContext& format, const std::string& path, int trackNumber) {
    const auto audio = AudioStreamIndices(format);
    if (audio.empty()) return -1;
    if (trackNumber > 0) {
        const int chosen = IsMatroska(format) ? MatroskaAudioStream(audio, path, trackNumber)
                                              : AudioStreamWithId(format, audio, trackNumber);
        if (chosen >= 0) return chosen;
    }
    return audio.front();
}

}  // namespace kestrun
