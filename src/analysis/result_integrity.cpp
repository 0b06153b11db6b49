#include "analysis/result_integrity.h"

#include <cctype>
#include <cstdint>
#include <fstream>

#include "analysis/big_endian.h"
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

}  // namespace

std::string CutShortProblem(const std::string& path) {
    if (!EndsWithMp4(path)) return {};
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return {};  // the reading of the rules says why
    const auto fileSize = static_cast<std::uint64_t>(file.tellg());
    // The top-level boxes follow one another to the last byte.
    for (std::uint64_t offset = 0; offset < fileSize;) {
        unsigned char head[kBoxHeaderBytes + kLargeSizeBytes];
        if (fileSize - offset < kBoxHeaderBytes)
            return Problem(msg::kFileEndsInsideBox, offset, {});
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(head), kBoxHeaderBytes);
        const std::string type(reinterpret_cast<const char*>(head + 4), 4);
        std::uint64_t size = BigEndianValue(head, 4);
        std::uint64_t headerBytes = kBoxHeaderBytes;
        if (size == 0) return {};  // the last box, running to the end of the file
        if (size == 1) {
            if (fileSize - offset < kBoxHeaderBytes + kLargeSizeBytes)
                return Problem(msg::kFileEndsInsideBox, offset, type);
            file.read(reinterpret_cast<char*>(head + kBoxHeaderBytes), kLargeSizeBytes);
            size = BigEndianValue(head + kBoxHeaderBytes, kLargeSizeBytes);
            headerBytes += kLargeSizeBytes;
        }
        if (!file || size < headerBytes) return Problem(msg::kBoxSizeNotValid, offset, type);
        if (size > fileSize - offset) return Problem(msg::kFileEndsInsideBox, offset, type);
        offset += size;
    }
    return {};
}

}  // namespace kestrun
