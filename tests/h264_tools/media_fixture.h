#pragma once
// Helpers of the H.264 tool tests: tiny x264 samples where the tests want them, and what ffprobe
// says about the results (running programs and making samples: support/process.h, samples.h).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun::test {

// Copies `frames` frames of a test pattern encoded by libx264 (support/samples.h) to `output`
// (container from its extension; ".h264" gives a raw stream). `x264` holds extra FFmpeg options,
// e.g. {"-bf", "3"}.
void EncodeH264(const std::string& output, int width, int height, int frames,
                const std::vector<std::string>& x264, const std::string& rate = "24000/1001");

// ffprobe's fields of one stream ("v:0", "a:0"), frames counted.
std::map<std::string, std::string> ProbeStream(const std::string& path, const std::string& stream);

// The MD5 of every decoded video frame, in display order.
std::vector<std::string> DecodedFrameHashes(const std::string& path);

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// The SPS NAL units of a raw Annex B file.
std::vector<std::vector<uint8_t>> SpsUnitsOf(const std::string& rawStream);

}  // namespace kestrun::test
