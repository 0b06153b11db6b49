#pragma once
// Reads what the console rules judge from a media file's headers and parameter sets, never
// decoding a frame: FFmpeg's demuxers for the container and its streams, the first frame of
// MPEG-4 Part 2 video for its layer header, x264_checker for H.264's parameter sets.
#include <optional>
#include <string>

#include "analysis/media_facts.h"

namespace kestrun {
struct Context;

// The facts of one file; nothing, with the reason in `error`, when it cannot be read.
std::optional<MediaFacts> ReadMediaFacts(Context& ctx, const std::string& path, std::string* error);

// Whether the file's headers declare more than it holds (a download cut short).
bool CutShort(const MediaFacts& facts);

// For a file cut short, whose headers promise more than it holds: the video's frame count and
// the video's and each audio stream's length replaced by what its packets hold, read to the end
// of the file without decoding. False, leaving `facts` as they are, when it cannot be read.
bool MeasureWhatItHolds(MediaFacts& facts);

}  // namespace kestrun
