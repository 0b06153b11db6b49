#include "media/matroska_header.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>

namespace kestrun::media {
namespace {

constexpr std::uint32_t kEbmlHeaderId = 0x1A45DFA3;
constexpr std::uint32_t kSegmentId = 0x18538067;
constexpr std::uint32_t kSeekHeadId = 0x114D9B74;
constexpr std::uint32_t kSeekId = 0x4DBB;
constexpr std::uint32_t kSeekIdId = 0x53AB;
constexpr std::uint32_t kSeekPositionId = 0x53AC;
constexpr std::uint32_t kTracksId = 0x1654AE6B;
constexpr std::uint32_t kClusterId = 0x1F43B675;
constexpr std::uint32_t kTrackEntryId = 0xAE;
constexpr std::uint32_t kTrackNumberId = 0xD7;
constexpr std::uint32_t kTrackTypeId = 0x83;
constexpr std::uint32_t kCodecIdId = 0x86;

// Bounds that keep a damaged or hostile file from making us read much.
constexpr std::uint64_t kMaxTracksBytes = 16 << 20;
constexpr std::uint64_t kMaxSeekHeadBytes = 1 << 20;
constexpr int kMaxTopLevelElements = 512;
constexpr std::size_t kMaxElementHeader = 12;

struct ElementHeader {
    std::uint32_t id = 0;
    std::uint64_t size = 0;
    bool unknownSize = false;
    std::size_t length = 0;  // bytes of ID and size together
};

// Length of a variable-size integer from its first byte (1..maxLength), 0 when invalid.
int VintLength(std::uint8_t first, int maxLength) {
    for (int length = 1; length <= maxLength; ++length) {
        if (first & (0x80 >> (length - 1))) return length;
    }
    return 0;
}

std::optional<ElementHeader> ParseHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    const int idLength = VintLength(bytes[0], 4);
    if (idLength == 0 || bytes.size() < static_cast<std::size_t>(idLength) + 1) {
        return std::nullopt;
    }
    ElementHeader header;
    for (int i = 0; i < idLength; ++i) header.id = (header.id << 8) | bytes[i];
    const int sizeLength = VintLength(bytes[idLength], 8);
    if (sizeLength == 0 || bytes.size() < static_cast<std::size_t>(idLength + sizeLength)) {
        return std::nullopt;
    }
    std::uint64_t size = bytes[idLength] & (0xFF >> sizeLength);
    bool allOnes = size == (0xFFu >> sizeLength);
    for (int i = 1; i < sizeLength; ++i) {
        size = (size << 8) | bytes[idLength + i];
        allOnes = allOnes && bytes[idLength + i] == 0xFF;
    }
    header.size = size;
    header.unknownSize = allOnes;
    header.length = static_cast<std::size_t>(idLength + sizeLength);
    return header;
}

std::uint64_t ParseUnsigned(std::span<const std::uint8_t> bytes) {
    std::uint64_t value = 0;
    for (auto byte : bytes.first(std::min<std::size_t>(bytes.size(), 8))) {
        value = (value << 8) | byte;
    }
    return value;
}

// Calls visit(id, body) for each child of a master element's body, stopping at the first
// child that does not fit.
template <typename Visit>
void ForEachChild(std::span<const std::uint8_t> body, Visit visit) {
    std::size_t offset = 0;
    while (offset < body.size()) {
        const auto header = ParseHeader(body.subspan(offset));
        if (!header || header->unknownSize) return;
        const auto start = offset + header->length;
        if (header->size > body.size() - start) return;
        visit(header->id, body.subspan(start, header->size));
        offset = start + header->size;
    }
}

MatroskaTrackEntry ParseTrackEntry(std::span<const std::uint8_t> body) {
    MatroskaTrackEntry entry;
    ForEachChild(body, [&](std::uint32_t id, std::span<const std::uint8_t> value) {
        if (id == kTrackNumberId) entry.number = ParseUnsigned(value);
        if (id == kTrackTypeId) entry.type = ParseUnsigned(value);
        if (id == kCodecIdId) {
            // Strings may be padded with zero bytes.
            entry.codecId.assign(value.begin(), std::find(value.begin(), value.end(), 0));
        }
    });
    return entry;
}

std::vector<MatroskaTrackEntry> ParseTracks(std::span<const std::uint8_t> body) {
    std::vector<MatroskaTrackEntry> entries;
    ForEachChild(body, [&](std::uint32_t id, std::span<const std::uint8_t> value) {
        if (id == kTrackEntryId) entries.push_back(ParseTrackEntry(value));
    });
    return entries;
}

// Offset of Tracks from the start of the segment's data, as the seek head gives it.
std::optional<std::uint64_t> TracksOffsetFromSeekHead(std::span<const std::uint8_t> body) {
    std::optional<std::uint64_t> found;
    ForEachChild(body, [&](std::uint32_t id, std::span<const std::uint8_t> seek) {
        if (id != kSeekId || found) return;
        std::uint64_t target = 0;
        std::optional<std::uint64_t> position;
        ForEachChild(seek, [&](std::uint32_t child, std::span<const std::uint8_t> value) {
            if (child == kSeekIdId) target = ParseUnsigned(value);
            if (child == kSeekPositionId) position = ParseUnsigned(value);
        });
        if (target == kTracksId && position) found = position;
    });
    return found;
}

class HeaderFile {
public:
    explicit HeaderFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
    bool IsOpen() const { return file_ != nullptr; }

    std::optional<ElementHeader> HeaderAt(std::uint64_t position) {
        std::uint8_t bytes[kMaxElementHeader];
        const auto got = ReadAt(position, bytes, sizeof bytes);
        return ParseHeader(std::span<const std::uint8_t>(bytes, got));
    }

    std::optional<std::vector<std::uint8_t>> BodyAt(std::uint64_t position, std::uint64_t size) {
        std::vector<std::uint8_t> body(size);
        if (ReadAt(position, body.data(), body.size()) != body.size()) return std::nullopt;
        return body;
    }

private:
    std::size_t ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) {
        if (::fseeko(file_.get(), static_cast<off_t>(position), SEEK_SET) != 0) return 0;
        return std::fread(out, 1, size, file_.get());
    }

    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

bool IsDemuxedAsAudio(const MatroskaTrackEntry& entry) {
    return entry.type == kMatroskaTrackTypeAudio && entry.codecId.starts_with("A");
}

struct SegmentHeader {
    std::uint64_t dataStart = 0;
    std::optional<std::uint64_t> size;
};

std::optional<SegmentHeader> FindSegment(HeaderFile& file) {
    if (!file.IsOpen()) return std::nullopt;
    const auto ebml = file.HeaderAt(0);
    if (!ebml || ebml->id != kEbmlHeaderId || ebml->unknownSize) return std::nullopt;
    const std::uint64_t segmentAt = ebml->length + ebml->size;
    const auto segment = file.HeaderAt(segmentAt);
    if (!segment || segment->id != kSegmentId) return std::nullopt;
    SegmentHeader result;
    result.dataStart = segmentAt + segment->length;
    if (!segment->unknownSize) result.size = segment->size;
    return result;
}

}  // namespace

std::optional<std::uint64_t> MatroskaDeclaredEnd(const std::string& path) {
    HeaderFile file(path);
    const auto segment = FindSegment(file);
    if (!segment || !segment->size) return std::nullopt;
    return segment->dataStart + *segment->size;
}

std::vector<MatroskaTrackEntry> ReadMatroskaTrackEntries(const std::string& path) {
    HeaderFile file(path);
    const auto segment = FindSegment(file);
    if (!segment) return {};
    const std::uint64_t segmentData = segment->dataStart;

    std::optional<std::uint64_t> tracksFromSeekHead;
    bool jumped = false;
    std::uint64_t position = segmentData;
    for (int count = 0; count < kMaxTopLevelElements; ++count) {
        const auto element = file.HeaderAt(position);
        if (!element) break;
        const std::uint64_t body = position + element->length;
        if (element->id == kTracksId && !element->unknownSize) {
            if (element->size > kMaxTracksBytes) break;
            const auto bytes = file.BodyAt(body, element->size);
            return bytes ? ParseTracks(*bytes) : std::vector<MatroskaTrackEntry>{};
        }
        if (element->id == kSeekHeadId && !element->unknownSize &&
            element->size <= kMaxSeekHeadBytes && !tracksFromSeekHead) {
            if (const auto bytes = file.BodyAt(body, element->size)) {
                tracksFromSeekHead = TracksOffsetFromSeekHead(*bytes);
            }
        }
        // Clusters hold the media; a track list behind them is reached through the seek head.
        if (element->id == kClusterId || element->unknownSize) {
            if (!tracksFromSeekHead || jumped) break;
            position = segmentData + *tracksFromSeekHead;
            jumped = true;
            continue;
        }
        position = body + element->size;
    }
    return {};
}

std::optional<int> DemuxedAudioOrdinal(const std::vector<MatroskaTrackEntry>& entries,
                                       std::uint64_t trackNumber) {
    int ordinal = 0;
    for (const auto& entry : entries) {
        if (!IsDemuxedAsAudio(entry)) continue;
        if (entry.number == trackNumber) return ordinal;
        ++ordinal;
    }
    return std::nullopt;
}

int CountDemuxedAudioTracks(const std::vector<MatroskaTrackEntry>& entries) {
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), IsDemuxedAsAudio));
}

}  // namespace kestrun::media
