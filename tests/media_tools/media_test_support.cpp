#include "media_tools/media_test_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace media_test {
namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

std::map<std::string, std::string> Probe(const std::string& path, const std::string& kind,
                                         bool countFrames) {
    return kestrun::test::ProbeFields(path, kind + ":0",
                                      "stream=codec_name,profile,channels,sample_rate,duration,"
                                      "bit_rate,nb_read_frames,has_b_frames:format=format_name,"
                                      "duration",
                                      countFrames);
}

double Number(const std::map<std::string, std::string>& probe, const std::string& key) {
    const auto it = probe.find(key);
    if (it == probe.end() || it->second.empty() || it->second == "N/A") return -1;
    return std::strtod(it->second.c_str(), nullptr);
}

std::vector<std::string> StreamTypes(const std::string& path) {
    const std::string text = RunProgram({"ffprobe", "-v", "error", "-show_entries",
                                         "stream=codec_type", "-of", "csv=p=0", path})
                                 .out;
    std::vector<std::string> types;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty()) types.push_back(line);
    return types;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::optional<Pcm16> ReadPcm16Wav(const std::string& path) {
    const auto b = ReadBytes(path);
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
        std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    Pcm16 pcm;
    int bits = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = Le32(b, at + 4);
        const size_t data = at + 8;
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && data + 16 <= b.size()) {
            pcm.channels = Le16(b, data + 2);
            pcm.sampleRate = static_cast<int>(Le32(b, data + 4));
            bits = Le16(b, data + 14);
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            if (bits != 16 || pcm.channels == 0) return std::nullopt;
            const size_t end = std::min(b.size(), data + size);
            for (size_t i = data; i + 1 < end; i += 2)
                pcm.samples.push_back(static_cast<int16_t>(Le16(b, i)));
            return pcm;
        }
        at = data + size + (size & 1);
    }
    return std::nullopt;
}

double ZeroCrossingsPerSecond(const Pcm16& pcm) {
    if (pcm.channels == 0 || pcm.sampleRate == 0) return 0;
    const size_t frames = pcm.samples.size() / static_cast<size_t>(pcm.channels);
    size_t crossings = 0;
    for (size_t f = 1; f < frames; ++f) {
        const int16_t previous = pcm.samples[(f - 1) * pcm.channels];
        const int16_t current = pcm.samples[f * pcm.channels];
        if ((previous < 0) != (current < 0)) ++crossings;
    }
    return frames < 2 ? 0 : crossings * static_cast<double>(pcm.sampleRate) / frames;
}

}  // namespace media_test
