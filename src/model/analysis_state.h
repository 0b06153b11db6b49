#pragma once
// What the analysis of the current MKV source found; refilled by every analysis and read by the
// conversion stages.
#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace kestrun {

inline constexpr int kTrackTableRows = 33;

// One row of a track table: language (shown in the lists), format ("0".."5", the index of the
// audio format button; "srt"/"ssa"/... for subtitles) and the track number, all as text.
struct TrackRow {
    std::string language;
    std::string format;
    std::string track;
};
using TrackTable = std::array<TrackRow, kTrackTableRows>;

struct Analysis {
    std::string strVideoCodec;  // "", "vc1", "mpeg2" or "avc"
    bool bVfwMode = false;
    std::string strParOpt;     // ":par=" display width ":" pixel width
    std::string strAspectOpt;  // " -aspect " ratio " "
    int intPixelWidth = 0;
    int intPixelHeight = 0;
    TrackTable strAudioTracks{};
    TrackTable strSubTracks{};
    // Where the first video track and each audio track begin, in milliseconds, by track number;
    // a track missing here has no known start.
    std::map<int, std::int64_t> trackStartMs;
    bool bBatchMode = false;
    bool bCmdLineMode = false;
    // Whether the last analysis found mkvinfo's report (false: the source could not be read).
    bool bInfoReportRead = false;
};

}  // namespace kestrun
