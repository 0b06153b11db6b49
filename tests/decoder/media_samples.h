#pragma once
// Tiny media files made with FFmpeg at test time, and what ffprobe and the WAV header say about
// a decoded result.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/samples.h"

namespace kestrun::test {

// The sample "ffmpeg <arguments> <output>" (made once, support/samples.h) copied to `output`;
// the arguments are separated by blanks and hold none.
void MakeSample(const std::string& arguments, const std::string& output);

struct ProbedAudio {
    std::string codec;
    int channels = 0;
    int sampleRate = 0;
    std::string channelLayout;
    double duration = 0.0;
};
// The first audio stream as ffprobe sees it; codec empty when ffprobe finds none.
ProbedAudio ProbeAudio(const std::string& path);

struct WavSizes {
    std::uint32_t riffSize = 0;
    std::uint32_t dataSize = 0;
    std::uint64_t dataOffset = 0;  // where the samples start
    std::uint16_t formatTag = 0;
    std::uint32_t channelMask = 0;  // extensible headers only
    std::uint64_t fileSize = 0;
};
WavSizes ReadWavSizes(const std::string& path);

// Root mean square of the 16-bit samples of a WAV written by the decoder (read in blocks).
double WavRms(const std::string& path);

}  // namespace kestrun::test
