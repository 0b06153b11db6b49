#include "analysis/result_integrity.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>

#include "media/byte_order.h"
#include "media/libav_handles.h"
#include "model/messages.h"

namespace kestrun {
namespace {

constexpr std::uint64_t kBoxHeaderBytes = 8;
constexpr std::uint64_t kLargeSizeBytes = 8;  // follows the header when the size field says 1

bool EndsWithMp4(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".mp4";
}

std::string Problem(std::string_view text, std::uint64_t offset, const std::string& type) {
    return std::string(text) + std::to_string(offset) + (type.empty() ? "" : " (" + type + ")");
}

// Where the last sample the index points at ends: the largest offset plus size over every
// track's sample table. Nothing when FFmpeg cannot read the index (the rules say why).
std::optional<std::uint64_t> SamplesEnd(const std::string& path) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return std::nullopt;
    const media::InputPtr input(raw);
    std::optional<std::uint64_t> end;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = input->streams[i];
        const int count = avformat_index_get_entries_count(stream);
        for (int e = 0; e < count; ++e) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, e);
            if (!entry || entry->pos < 0 || entry->size < 0) continue;
            const auto entryEnd =
                static_cast<std::uint64_t>(entry->pos) + static_cast<std::uint64_t>(entry->size);
            end = std::max(end.value_or(0), entryEnd);
        }
    }
    return end;
}

// The top-level boxes, which follow one another to the last byte. A box whose size field says
// 0 runs to the end of the file, and so is the last one.
std::string BoxWalkProblem(std::ifstream& file, std::uint64_t fileSize) {
    for (std::uint64_t offset = 0; offset < fileSize;) {
        unsigned char head[kBoxHeaderBytes + kLargeSizeBytes];
        if (fileSize - offset < kBoxHeaderBytes)
            return Problem(msg::kFileEndsInsideBox, offset, {});
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(head), kBoxHeaderBytes);
        const std::string type(reinterpret_cast<const char*>(head + 4), 4);
        std::uint64_t size = media::ReadBe(head, 4);
        std::uint64_t headerBytes = kBoxHeaderBytes;
        if (size == 0) return {};
        if (size == 1) {
            if (fileSize - offset < kBoxHeaderBytes + kLargeSizeBytes)
                return Problem(msg::kFileEndsInsideBox, offset, type);
            file.read(reinterpret_cast<char*>(head + kBoxHeaderBytes), kLargeSizeBytes);
            size = media::ReadBe(head + kBoxHeaderBytes, kLargeSizeBytes);
            headerBytes += kLargeSizeBytes;
        }
        if (!file || size < headerBytes) return Problem(msg::kBoxSizeNotValid, offset, type);
        if (size > fileSize - offset) return Problem(msg::kFileEndsInsideBox, offset, type);
        offset += size;
    }
    return {};
}

}  // namespace

std::string CutShortProblem(const std::string& path) {
    if (!EndsWithMp4(path)) return {};
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return {};  // the reading of the rules says why
    const auto fileSize = static_cast<std::uint64_t>(file.tellg());
    if (std::string problem = BoxWalkProblem(file, fileSize); !problem.empty()) return problem;
    // Boxes that reach the end may still hold less than the index points at: a box that runs
    // to the end of the file, or sizes written before the file was cut.
    if (const auto samplesEnd = SamplesEnd(path); samplesEnd && *samplesEnd > fileSize)
        return std::string(msg::kSamplesPastEnd) + std::to_string(*samplesEnd) +
               std::string(msg::kFileEndsAtByte) + std::to_string(fileSize);
    return {};
}

}  // namespace kestrun
