#pragma once
// What FFmpeg's libraries make of a source's streams: the first video stream's codec, profile,
// bit depth and chroma sampling, and the format and channels of every audio track. The analysis
// judges from them what a console decodes and which tracks the in-process decoder can read.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "media/libav_handles.h"
#include "media/matroska_header.h"

namespace kestrun::media {

struct VideoStreamFacts {
    std::string codec;        // FFmpeg's short codec name: "h264", "hevc", "mpeg2video", "vc1", ...
    std::string name;         // as people know it: "H.264", "HEVC", "AV1", ...
    int profile = -99;        // FFmpeg's profile number; -99 when unknown
    std::string profileName;  // "High", "High 10", ...; empty when unknown
    int bitDepth = 0;         // bits per picture sample; 0 when unknown
    std::string chroma;       // "4:2:0", "4:2:2", "4:4:4", "4:0:0"; empty when unknown
};

struct AudioStreamFacts {
    std::string format;  // "E-AC-3", "TrueHD", "FLAC", "Opus", "LPCM", "AC-3", ...
    int channels = 0;
    bool decodable = false;  // FFmpeg has a decoder for it
};

struct SourceStreamFacts {
    std::optional<VideoStreamFacts> video;
    std::map<int, AudioStreamFacts> audioByTrack;  // by Matroska TrackNumber
    std::vector<int64_t> chapterStartsMs;          // the file's chapters, see ChapterStarts
};

// The starts of the file's chapters in `timeBase`, counted from the first video stream's start
// (chapters before it at 0), in order; empty when the file has none.
std::vector<int64_t> ChapterStarts(const AVFormatContext& format, AVRational timeBase);

// A file that cannot be read gives no facts; an audio track that could not be matched to its
// stream is left out.
SourceStreamFacts ReadSourceStreamFacts(const std::string& path);

// Stream index -> Matroska TrackNumber for the first video stream and, when the demuxer made one
// audio stream per audio entry, for every audio stream.
std::map<int, int> MatroskaStreamTracks(const AVFormatContext& format,
                                        const std::vector<MatroskaTrackEntry>& entries);

// Opens a local file with libavformat (file protocol only); null when it cannot be opened.
FormatContextPtr OpenLocalSource(const std::string& path);

}  // namespace kestrun::media
