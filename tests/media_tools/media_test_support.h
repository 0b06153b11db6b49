#pragma once
// Helpers of the media tool tests: running the built stand-ins, making tiny samples with FFmpeg,
// reading results with ffprobe, and a work folder whose name is awkward on purpose.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace media_test {

// The stand-in or linked tool at `relative` in the built program folder ("aften/aften").
std::string Tool(const std::string& relative);

struct RunResult {
    int exitCode = -1;
    std::string errorText;  // what the program wrote to standard error
};

// Runs a program (argument vector, program first) without a shell; standard output is dropped.
RunResult RunTool(const std::vector<std::string>& argv);

// Runs Debian's FFmpeg with -nostdin -y and the given arguments; true on success.
bool Ffmpeg(const std::vector<std::string>& args);

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
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
std::vector<std::string> FolderEntries(const std::string& folder);

// 16-bit WAV contents: channel count, rate and interleaved samples; nullopt for other formats.
struct Pcm16 {
    int channels = 0;
    int sampleRate = 0;
    std::vector<int16_t> samples;
};
std::optional<Pcm16> ReadPcm16Wav(const std::string& path);

// Sign changes per second on the first channel: twice the frequency of a pure tone.
double ZeroCrossingsPerSecond(const Pcm16& pcm);

// Rewrites the TrackNumber of every track of a Matroska file, and the track numbers in its blocks
// and cue points, through `numbers` (old number -> new number, both below 127). Returns false
// when the file's layout is not one this helper can walk.
bool RenumberMatroskaTracks(const std::string& path, const std::map<uint64_t, uint64_t>& numbers);

}  // namespace media_test
