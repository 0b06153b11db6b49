#pragma once
// Tiny media files made with FFmpeg at test time, and what ffprobe and the WAV header say about
// a decoded result.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrun::test {

// Runs "ffmpeg -v error -y <arguments> '<output>'"; the sample must come out non-empty.
// Arguments are passed through the shell, so they must not hold single quotes.
void MakeSample(const std::string& arguments, const std::string& output);

// Gives the tracks of a small Matroska file made by FFmpeg other TrackNumbers ({from, to} pairs,
// all below 127) in the track list and in every block, as other muxers may number them.
void RenumberMatroskaTracks(const std::string& path,
                            const std::vector<std::pair<int, int>>& renumbering);

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
