#pragma once
// Helpers of the H.264 tool tests: running programs without a shell, making tiny samples with
// FFmpeg, and reading what ffprobe says about the results.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrun::test {

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program (no shell) with standard input from /dev/null and both outputs captured.
ToolResult RunTool(const std::vector<std::string>& argv);

// A program of the built program folder, e.g. ProgramPath("MP4Box/MP4Box").
std::string ProgramPath(const std::string& relative);

// Runs ffmpeg -nostdin -y -loglevel error with `args`; throws std::runtime_error on failure.
void RunFfmpeg(const std::vector<std::string>& args);

// Encodes `frames` frames of a test pattern with libx264 into `output` (container from its
// extension; ".h264" gives a raw stream). `x264` holds extra FFmpeg options, e.g. {"-bf", "3"}.
void EncodeH264(const std::string& output, int width, int height, int frames,
                const std::vector<std::string>& x264, const std::string& rate = "24000/1001");

// ffprobe's fields of one stream ("v:0", "a:0"), frames counted.
std::map<std::string, std::string> ProbeStream(const std::string& path, const std::string& stream);

// The MD5 of every decoded video frame, in display order.
std::vector<std::string> DecodedFrameHashes(const std::string& path);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// The SPS NAL units of a raw Annex B file.
std::vector<std::vector<uint8_t>> SpsUnitsOf(const std::string& rawStream);

}  // namespace kestrun::test
