#pragma once
// What the analysis of the current MKV source found; refilled by every analysis and read by the
// conversion stages.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

inline constexpr int kTrackTableRows = 33;

// One row of a track table: language (shown in the lists), format ("0".."5", the index of the
// audio format button; "srt"/"ssa"/... for subtitles) and the track number, all as text.
struct TrackRow {
    std::string language;
    std::string format;
    std::string track;
    bool isDefault = false;  // the source flags the track default
    bool isForced = false;   // the source flags the track forced
    std::string codecId{};   // the Matroska codec ID ("S_HDMV/PGS", ...; subtitle rows)
};

// The format column of the image subtitle tracks: the extension mkvextract writes them to (a
// VobSub track becomes NAME.idx with its NAME.sub).
inline constexpr std::string_view kPgsSubtitleFormat = "sup";
inline constexpr std::string_view kVobSubSubtitleFormat = "idx";
// "PGS" or "VobSub" for a subtitle row's format column that names a picture track, else empty.
constexpr std::string_view ImageSubtitleKind(std::string_view format) {
    if (format == kPgsSubtitleFormat) return "PGS";
    if (format == kVobSubSubtitleFormat) return "VobSub";
    return {};
}
using TrackTable = std::array<TrackRow, kTrackTableRows>;

// The format column of an audio track that none of the six format buttons names but FFmpeg's
// libraries decode (E-AC-3, TrueHD, FLAC, Opus, LPCM, ...): the in-process decoder writes it to
// movie.wav, and the chains encode that as they encode every decoded track.
inline constexpr std::string_view kDecodedAudioFormat = "wav";

// An audio track as FFmpeg's libraries see it.
struct AudioStreamInfo {
    std::string format;  // "E-AC-3", "TrueHD", "FLAC", "Opus", "LPCM", "AC-3", ...
    int channels = 0;
    bool decodable = false;
};

struct Analysis {
    std::string strVideoCodec;  // "", "vc1", "mpeg2", "avc" or "mpeg4" (MPEG-4 Part 2)
    // The video track goes through an AVI (a VFW/FOURCC track, or MPEG-4 Part 2).
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
    // Every audio track FFmpeg's libraries found, by track number; filled before the track
    // report is parsed.
    std::map<int, AudioStreamInfo> audioStreams;
    // Why no console decodes the video ("HEVC", "10-bit H.264"); empty when one does. Only a
    // re-encode converts such a source.
    std::string strVideoRecodeReason;
    // The video's frames change their rate along the way. Made at one rate frame for frame, the
    // result would be longer or shorter than the source: it is re-encoded instead, with frames
    // repeated or dropped to keep the length.
    bool bVariableFrameRate = false;
    // The source's chapter starts in ms of playing time (its first video frame at 0).
    std::vector<int64_t> chapterStartsMs;
    // The video tracks after the first, which is the one converted: "track 3 (V_MPEG2)", comma
    // separated; empty for a source with one video track.
    std::string strLeftOutVideoTracks;
    // Why no conversion can take the source at all ("it holds no video track"); empty when one
    // can. The conversion is refused before any work.
    std::string strSourceRefusal;
    bool bBatchMode = false;
    bool bCmdLineMode = false;
    // Whether the last analysis found mkvinfo's report (false: the source could not be read).
    bool bInfoReportRead = false;
};

}  // namespace kestrun
