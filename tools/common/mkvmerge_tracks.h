#pragma once
// The old mkvtoolnix numbered a Matroska file's tracks by their TrackNumber element (1, 2, ...);
// today's mkvmerge and mkvextract take 0-based track IDs. This unit reads the tracks of a file
// with Debian's mkvmerge and finds the ID that belongs to a legacy track number.
#include <optional>
#include <string>
#include <vector>

namespace standin {

inline constexpr const char* kMkvmergeProgram = "/usr/bin/mkvmerge";
inline constexpr const char* kMkvextractProgram = "/usr/bin/mkvextract";

struct MatroskaTrack {
    long long id = -1;                // today's track ID
    std::optional<long long> number;  // the TrackNumber element (the legacy track number)
    std::string type;                 // "video", "audio", "subtitles", ...
    std::string codecId;              // "V_MPEG4/ISO/AVC", "A_AC3", ...
};

struct TrackListing {
    std::vector<MatroskaTrack> tracks;
    std::string error;  // empty when the file was read; otherwise a message naming the file
};

// Lists the tracks of `source` as `mkvmerge -J` reports them. A missing, empty, unreadable or
// unrecognised file gives an error message and no tracks.
TrackListing ListMatroskaTracks(const std::string& source);

// The listing in `json`, a report of `mkvmerge -J` on `source`.
TrackListing ParseTrackListing(const std::string& json, const std::string& source);

// The track that the legacy track number `number` named, or nullptr.
const MatroskaTrack* FindTrackByNumber(const TrackListing& listing, long long number);

}  // namespace standin
