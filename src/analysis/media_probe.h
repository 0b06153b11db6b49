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

}  // namespace kestrun
