#include "decoder/media_samples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "support/samples.h"

namespace kestrun::test {
namespace {

std::uint32_t U32At(const std::vector<unsigned char>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

void MakeSample(const std::string& arguments, const std::string& output) {
    std::vector<std::string> args;
    std::istringstream words(arguments);
    for (std::string word; words >> word;) args.push_back(word);
    SampleAt(args, output);
}

ProbedAudio ProbeAudio(const std::string& path) {
    ProbedAudio probed;
    for (const auto& [key, value] :
         ProbeFields(path, "a:0",
                     "stream=codec_name,channels,sample_rate,channel_layout:format=duration")) {
        if (key == "codec_name") probed.codec = value;
        if (key == "channels") probed.channels = std::stoi(value);
        if (key == "sample_rate") probed.sampleRate = std::stoi(value);
        if (key == "channel_layout") probed.channelLayout = value;
        if (key == "duration" && value != "N/A") probed.duration = std::stod(value);
    }
    return probed;
}

WavSizes ReadWavSizes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> header(128);
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    WavSizes sizes;
    sizes.fileSize = std::filesystem::file_size(path);
    if (header.size() < 44) return sizes;
    sizes.riffSize = U32At(header, 4);
    sizes.formatTag = static_cast<std::uint16_t>(header[20] | header[21] << 8);
    const std::uint32_t fmtSize = U32At(header, 16);
    if (fmtSize >= 40) sizes.channelMask = U32At(header, 40);
    const std::size_t dataTag = 20 + fmtSize;
    if (dataTag + 8 <= header.size()) {
        sizes.dataSize = U32At(header, dataTag + 4);
        sizes.dataOffset = dataTag + 8;
    }
    return sizes;
}

double WavRms(const std::string& path) {
    const auto sizes = ReadWavSizes(path);
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(sizes.dataOffset));
    std::vector<char> block(1 << 16);
    double sum = 0.0;
    std::uint64_t count = 0;
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        const auto got = static_cast<std::size_t>(in.gcount()) / 2;
        for (std::size_t i = 0; i < got; ++i) {
            const auto low = static_cast<unsigned char>(block[2 * i]);
            const auto high = static_cast<unsigned char>(block[2 * i + 1]);
            const double value = static_cast<std::int16_t>(low | high << 8);
            sum += value * value;
        }
        count += got;
    }
    return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

}  // namespace kestrun::test
