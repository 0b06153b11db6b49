#pragma once
// Helpers of the media tool tests: reading results with ffprobe and the WAV files they write
// (running programs and making samples: support/process.h, support/samples.h).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace media_test {

using kestrun::test::BuiltTool;
using kestrun::test::Ffmpeg;
using kestrun::test::FolderNames;
using kestrun::test::ProgramRun;
using kestrun::test::ReadBytes;
using kestrun::test::RenumberMatroskaTracks;
using kestrun::test::RunProgram;

// ffprobe's view of the first stream of `kind` ("a", "v", "s") in a file; empty map when ffprobe
// cannot read it. Keys: codec_name, profile, channels, sample_rate, duration, bit_rate,
// format_name, nb_read_frames (video), has_b_frames (video).
std::map<std::string, std::string> Probe(const std::string& path, const std::string& kind = "a",
                                         bool countFrames = false);

// The number in `probe[key]`, or -1.
double Number(const std::map<std::string, std::string>& probe, const std::string& key);

// Types of all streams in a file, in order ("video", "audio", "subtitle").
std::vector<std::string> StreamTypes(const std::string& path);

bool FileExists(const std::string& path);
long long FileSize(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

// 16-bit WAV contents: channel count, rate and interleaved samples; nullopt for other formats.
struct Pcm16 {
    int channels = 0;
    int sampleRate = 0;
    std::vector<int16_t> samples;
};
std::optional<Pcm16> ReadPcm16Wav(const std::string& path);

// Sign changes per second on the first channel: twice the frequency of a pure tone.
double ZeroCrossingsPerSecond(const Pcm16& pcm);

}  // namespace media_test
