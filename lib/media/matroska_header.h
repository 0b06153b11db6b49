#pragma once
// Reads what the decoder needs from a Matroska file's header that libavformat does not pass on:
// the TrackNumber of each track (the number the track report and the window speak of), and the
// size the segment declares, which tells a file that was cut short. Only the header is read.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrun::media {

// TrackType values.
inline constexpr std::uint64_t kMatroskaTrackTypeVideo = 1;
inline constexpr std::uint64_t kMatroskaTrackTypeAudio = 2;
inline constexpr std::uint64_t kMatroskaTrackTypeSubtitle = 0x11;

struct MatroskaTrackEntry {
    std::uint64_t number = 0;
    std::uint64_t type = 0;
    std::string codecId;
    bool operator==(const MatroskaTrackEntry&) const = default;
};

// The entries in file order; empty when the file is not Matroska, is damaged before its track
// list, or cannot be read.
std::vector<MatroskaTrackEntry> ReadMatroskaTrackEntries(const std::string& path);

// End of the segment as its header declares it (in bytes from the start of the file); nullopt
// when the file is not Matroska or the size is left open (a file written live).
std::optional<std::uint64_t> MatroskaDeclaredEnd(const std::string& path);

// libavformat turns an entry into an audio stream when its type is audio and its codec ID is an
// audio one ("A_..."), keeping the file order. These two give the position of a track among those
// streams, and their count.
std::optional<int> DemuxedAudioOrdinal(const std::vector<MatroskaTrackEntry>& entries,
                                       std::uint64_t trackNumber);
int CountDemuxedAudioTracks(const std::vector<MatroskaTrackEntry>& entries);

}  // namespace kestrun::media
