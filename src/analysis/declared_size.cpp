#include "analysis/declared_size.h"

#include <fstream>
#include <string_view>

#include "media/byte_order.h"
#include "media/matroska_header.h"

namespace kestrun {
namespace {

constexpr std::uint64_t kChunkHeaderBytes = 8;
constexpr std::uint64_t kListHeaderBytes = 12;  // the chunk header and the list's type
// An OpenDML AVI holds one RIFF chunk per gigabyte or so; the first one's lists are a handful.
constexpr int kMaxChunks = 4096;
// The lists of the first RIFF chunk that are read before "movi": headers of a few kilobytes,
// "JUNK" padding, a few megabytes at the very most.
constexpr std::uint64_t kHeaderReadBytes = 16 << 20;

std::uint32_t LittleEndian32(std::string_view bytes) {
    return media::ReadLe32(reinterpret_cast<const std::uint8_t*>(bytes.data()));
}

// Chunks are padded to an even size.
std::uint64_t Padded(std::uint64_t size) { return size + (size & 1); }

class RandomReader {
public:
    explicit RandomReader(const std::string& path) : file_(path, std::ios::binary) {}
    std::optional<std::string> Read(std::uint64_t offset, std::size_t count) {
        std::string bytes(count, '\0');
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(offset));
        if (!file_.read(bytes.data(), static_cast<std::streamsize>(count))) return std::nullopt;
        return bytes;
    }

private:
    std::ifstream file_;
};

void KeepLarger(std::optional<DeclaredSize>& kept, std::uint64_t end, const char* by) {
    if (!kept || end > kept->bytes) kept = DeclaredSize{end, by};
}

// The "movi" list among the lists of the first RIFF chunk, whose lists start at `body`; also
// past the chunk's own end, which a writer stopped early may never have set.
template <typename Read>
void FindMovi(Read& read, std::uint64_t body, std::uint64_t fileSize,
              std::optional<DeclaredSize>& kept) {
    std::uint64_t offset = body;
    for (int chunk = 0;
         chunk < kMaxChunks && offset + kListHeaderBytes <= fileSize && offset < kHeaderReadBytes;
         ++chunk) {
        const auto head = read(offset, kListHeaderBytes);
        if (!head) return;
        const std::uint64_t end = offset + kChunkHeaderBytes + LittleEndian32(head->substr(4));
        if (head->compare(0, 4, "LIST") == 0 && head->compare(8, 4, "movi") == 0) {
            KeepLarger(kept, end, "the movi list");
            return;
        }
        offset = offset + kChunkHeaderBytes + Padded(end - offset - kChunkHeaderBytes);
    }
}

template <typename Read>
std::optional<DeclaredSize> WalkRiff(Read& read, std::uint64_t fileSize) {
    std::optional<DeclaredSize> kept;
    std::uint64_t offset = 0;
    for (int chunk = 0; chunk < kMaxChunks && offset + kListHeaderBytes <= fileSize; ++chunk) {
        const auto head = read(offset, kListHeaderBytes);
        if (!head || head->compare(0, 4, "RIFF") != 0) break;
        // The declared end is taken without the pad byte, which a writer may leave out at the
        // end of the file.
        const std::uint64_t size = LittleEndian32(head->substr(4));
        KeepLarger(kept, offset + kChunkHeaderBytes + size, "the RIFF chunk");
        if (chunk == 0) FindMovi(read, offset + kListHeaderBytes, fileSize, kept);
        offset += kChunkHeaderBytes + Padded(size);
    }
    return kept;
}

}  // namespace

std::optional<DeclaredSize> RiffDeclaredSize(const std::string& bytes, std::uint64_t fileSize) {
    auto read = [&bytes](std::uint64_t offset, std::size_t count) -> std::optional<std::string> {
        if (offset > bytes.size() || bytes.size() - offset < count) return std::nullopt;
        return bytes.substr(offset, count);
    };
    return WalkRiff(read, fileSize);
}

std::optional<DeclaredSize> ReadDeclaredSize(const std::string& path, Container container) {
    if (container == Container::Matroska) {
        const auto end = media::MatroskaDeclaredEnd(path);
        if (!end) return std::nullopt;
        return DeclaredSize{*end, "the segment"};
    }
    if (container != Container::Avi) return std::nullopt;
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    if (!probe) return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(probe.tellg());
    RandomReader reader(path);
    auto read = [&reader](std::uint64_t offset, std::size_t count) {
        return reader.Read(offset, count);
    };
    return WalkRiff(read, fileSize);
}

}  // namespace kestrun
