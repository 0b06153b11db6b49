#include "decoder/media_samples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace kestrun::test {
namespace {

std::string Capture(const std::string& command) {
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::string output;
    char buffer[4096];
    while (const auto got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    ::pclose(pipe);
    return output;
}

std::uint32_t U32At(const std::vector<unsigned char>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Walks EBML elements in bytes[begin, end), calling patch(id, dataStart, dataEnd) for each and
// descending into the masters that lead to track numbers.
struct MatroskaRenumberer {
    std::vector<unsigned char>& bytes;
    const std::vector<std::pair<int, int>>& renumbering;

    void Walk(std::size_t begin, std::size_t end) {
        while (begin < end) {
            const int idLength = Length(bytes[begin]);
            std::uint32_t id = 0;
            for (int i = 0; i < idLength; ++i) id = id << 8 | bytes[begin + i];
            const std::size_t sizeAt = begin + idLength;
            const int sizeLength = Length(bytes[sizeAt]);
            std::uint64_t size = bytes[sizeAt] & (0xFF >> sizeLength);
            for (int i = 1; i < sizeLength; ++i) size = size << 8 | bytes[sizeAt + i];
            const std::size_t data = sizeAt + sizeLength;
            const std::size_t dataEnd = std::min<std::size_t>(end, data + size);
            Visit(id, data, dataEnd);
            begin = dataEnd;
        }
    }

    static int Length(unsigned char first) {
        int length = 1;
        while (length < 8 && !(first & (0x80 >> (length - 1)))) ++length;
        return length;
    }

    void Visit(std::uint32_t id, std::size_t data, std::size_t end) {
        switch (id) {
            case 0x18538067:  // Segment
            case 0x1654AE6B:  // Tracks
            case 0xAE:        // TrackEntry
            case 0x1F43B675:  // Cluster
            case 0xA0:        // BlockGroup
                Walk(data, end);
                break;
            case 0xD7:  // TrackNumber, one byte
                bytes[data] = static_cast<unsigned char>(Renumbered(bytes[data]));
                break;
            case 0xA3:  // SimpleBlock: the track number is a one-byte vint first
            case 0xA1:  // Block
                bytes[data] = static_cast<unsigned char>(0x80 | Renumbered(bytes[data] & 0x7F));
                break;
            default:
                break;
        }
    }

    int Renumbered(int number) const {
        for (const auto& [from, to] : renumbering) {
            if (number == from) return to;
        }
        return number;
    }
};

}  // namespace

void RenumberMatroskaTracks(const std::string& path,
                            const std::vector<std::pair<int, int>>& renumbering) {
    std::vector<unsigned char> bytes(std::filesystem::file_size(path));
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    MatroskaRenumberer{bytes, renumbering}.Walk(0, bytes.size());
    file.seekp(0);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void MakeSample(const std::string& arguments, const std::string& output) {
    const std::string command = "ffmpeg -nostdin -v error -y " + arguments + " '" + output + "'";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(output) ||
        std::filesystem::file_size(output) == 0) {
        throw std::runtime_error("making the sample failed: " + command);
    }
}

ProbedAudio ProbeAudio(const std::string& path) {
    const auto text = Capture(
        "ffprobe -v error -select_streams a:0 -show_entries "
        "stream=codec_name,channels,sample_rate,channel_layout:format=duration "
        "-of default=noprint_wrappers=1 '" +
        path + "'");
    ProbedAudio probed;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const auto key = line.substr(0, equals);
        const auto value = line.substr(equals + 1);
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
