#pragma once
// Whether a source's video changes its frame rate along the way: the frames' timestamps against
// the duration of one frame the track declares. The raw streams the chains extract carry no
// timestamps, so a stream copy of such video plays at one rate and loses the film's timing.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

// How many of the first frames are read: a few seconds of film, read without decoding.
inline constexpr int kTimedFrames = 600;

// Judges the frames' start times (in any order, in `timeBase` units of seconds) against the
// declared duration of one frame (`frameSeconds`; the most common step between frames when
// nothing is declared). True when more than one step in a hundred, and at least two, are off by
// more than the container's rounding.
bool VariableFrameTiming(std::vector<std::int64_t> starts, double timeBase,
                         std::optional<double> frameSeconds);

// The first video stream of `path` read by FFmpeg's libraries: nothing when it cannot be read.
std::optional<bool> HasVariableFrameRate(const std::string& path);

}  // namespace kestrun
