#pragma once
// The meta file that tells the transport-stream muxer what to mux:
//   MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --vbv-len=500
//   V_MPEG4/ISO/AVC, "D:/out/movie.h264", fps=23.976
//   A_AC3, "D:/films/film.mkv", track=2
//   S_TEXT/UTF8, "D:/films/film.mkv" ,font-name="Arial",font-size=42,..., track=3, fps=23.976
// Lines end in CR LF (a bare LF is taken as well); the first line with MUXOPT is optional. A track
// line is a codec name, a quoted file path and comma-separated "key=value" pieces; empty pieces
// are skipped. `track=` is the legacy Matroska track number (the TrackNumber element).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace standin::ts {

struct MuxOptions {
    bool bluRay = false;
    int autoChapterMinutes = 0;        // 0: no chapter marks but the one at the start
    std::optional<int64_t> splitSize;  // bytes
    // --custom-chapters=00:00:00.000;00:03:00.000;...: chapter starts in 45 kHz ticks of playing
    // time, ascending; they replace the marks of --auto-chapters and a source's own chapters.
    std::vector<int64_t> customChapters;
};

struct MetaTrack {
    std::string codec;  // "V_MPEG4/ISO/AVC", "A_AC3", "S_TEXT/UTF8", ...
    std::string path;
    std::map<std::string, std::string> params;  // "track" -> "2", "fps" -> "23.976", ...
    int lineNumber = 0;

    bool IsVideo() const { return codec.rfind("V_", 0) == 0; }
    bool IsAudio() const { return codec.rfind("A_", 0) == 0; }
    bool IsSubtitle() const { return codec.rfind("S_", 0) == 0; }
    std::optional<std::string> Param(const std::string& key) const;
};

struct MetaFile {
    MuxOptions options;
    std::vector<MetaTrack> tracks;
};

// Throws std::invalid_argument with a message naming the line for text it cannot take.
MetaFile ParseMetaFile(const std::string& text);
// Reads and parses; throws std::runtime_error when the file cannot be read.
MetaFile ReadMetaFile(const std::string& path);

// The most chapter marks a playlist holds.
inline constexpr size_t kMaxChapterMarks = 999;

// "00:00:00.000;00:03:00;1:30:05.5" -> the times in 45 kHz ticks, ascending (empty pieces are
// skipped). Throws std::invalid_argument naming a time it cannot read, or for more than
// kMaxChapterMarks times.
std::vector<int64_t> ParseCustomChapters(const std::string& text);

// "4GB" -> 4 000 000 000, "4.5GB", "2997MB", "700MiB" (binary), "100KB"; a bare number is bytes.
// Throws std::invalid_argument for anything else or a size below one megabyte.
int64_t ParseSplitSize(const std::string& text);

}  // namespace standin::ts
