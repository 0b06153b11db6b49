#include "media/avi_riff.h"

#include <algorithm>
#include <cstring>

#include "media/byte_order.h"

namespace kestrun::media {

namespace {

constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kBitmapInfoHeaderSize = 40;
constexpr size_t kStrhTypeOffset = 0;
constexpr size_t kStrhHandlerOffset = 4;
constexpr size_t kBiCompressionOffset = 16;
// The header list of a real AVI is a few kilobytes; anything far larger is not an AVI we can use.
constexpr uint64_t kMaxHeaderListSize = 16u << 20;
constexpr int kMaxNesting = 8;

bool IdIs(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

uint64_t Padded(uint64_t size) { return size + (size & 1); }

// The end of a RIFF part. A size of 0 is left by writers that stopped before finishing the file:
// the part then runs to the end of the file.
uint64_t RiffPartEnd(uint64_t start, uint32_t declaredSize, uint64_t fileSize) {
    if (declaredSize == 0) return fileSize;
    return std::min<uint64_t>(start + kChunkHeaderSize + declaredSize, fileSize);
}

// The chunks of one list payload: id, data offset within the payload, size (clamped).
struct BufferChunk {
    const uint8_t* id;
    size_t offset;
    size_t size;
};

std::vector<BufferChunk> ChunksOf(const std::vector<uint8_t>& payload, size_t from, size_t to) {
    std::vector<BufferChunk> chunks;
    size_t position = from;
    while (position + kChunkHeaderSize <= to) {
        const uint32_t declared = ReadLe32(payload.data() + position + 4);
        const size_t dataOffset = position + kChunkHeaderSize;
        const size_t size = std::min<uint64_t>(declared, to - dataOffset);
        chunks.push_back({payload.data() + position, dataOffset, size});
        position = dataOffset + Padded(declared);
        if (position > to) break;
    }
    return chunks;
}

AviStreamInfo ParseStreamList(const std::vector<uint8_t>& payload, size_t from, size_t to) {
    AviStreamInfo stream;
    for (const BufferChunk& chunk : ChunksOf(payload, from, to)) {
        const uint8_t* data = payload.data() + chunk.offset;
        if (IdIs(chunk.id, "strh") && chunk.size >= kStrhHandlerOffset + 4) {
            stream.type = FourCcText(data + kStrhTypeOffset);
            stream.handler = FourCcText(data + kStrhHandlerOffset);
        } else if (IdIs(chunk.id, "strf") && stream.type == "vids" &&
                   chunk.size >= kBiCompressionOffset + 4) {
            stream.compression = FourCcText(data + kBiCompressionOffset);
            if (chunk.size > kBitmapInfoHeaderSize)
                stream.formatExtra.assign(data + kBitmapInfoHeaderSize, data + chunk.size);
        }
    }
    return stream;
}

}  // namespace

std::vector<uint8_t> ByteSource::Read(uint64_t offset, size_t count) {
    std::vector<uint8_t> bytes(count);
    bytes.resize(ReadAt(offset, bytes.data(), count));
    return bytes;
}

size_t BufferSource::ReadAt(uint64_t offset, uint8_t* destination, size_t count) {
    if (offset >= bytes_.size() || count == 0) return 0;
    const size_t available = std::min<uint64_t>(count, bytes_.size() - offset);
    std::memcpy(destination, bytes_.data() + offset, available);
    return available;
}

FileSource::FileSource(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) throw AviError("cannot open '" + path + "'");
    if (fseeko(file_, 0, SEEK_END) == 0) {
        const off_t end = ftello(file_);
        size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
}

FileSource::~FileSource() {
    if (file_ != nullptr) std::fclose(file_);
}

size_t FileSource::ReadAt(uint64_t offset, uint8_t* destination, size_t count) {
    if (offset >= size_ || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
    return std::fread(destination, 1, count, file_);
}

std::string FourCcText(const uint8_t* bytes) {
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '?';
    return text;
}

std::vector<AviStreamInfo> ParseHeaderList(const std::vector<uint8_t>& hdrlPayload) {
    std::vector<AviStreamInfo> streams;
    for (const BufferChunk& chunk : ChunksOf(hdrlPayload, 0, hdrlPayload.size())) {
        if (!IdIs(chunk.id, "LIST") || chunk.size < 4) continue;
        if (IdIs(hdrlPayload.data() + chunk.offset, "strl"))
            streams.push_back(
                ParseStreamList(hdrlPayload, chunk.offset + 4, chunk.offset + chunk.size));
    }
    return streams;
}

AviHeaders ReadAviHeaders(ByteSource& source) {
    const std::vector<uint8_t> riff = source.Read(0, 12);
    if (riff.size() < 12 || !IdIs(riff.data(), "RIFF") || !IdIs(riff.data() + 8, "AVI "))
        throw AviError("not an AVI file (no RIFF 'AVI ' header)");
    const uint64_t riffEnd = RiffPartEnd(0, ReadLe32(riff.data() + 4), source.Size());
    uint64_t position = 12;
    while (position + kChunkHeaderSize + 4 <= riffEnd) {
        const std::vector<uint8_t> header = source.Read(position, kChunkHeaderSize + 4);
        if (header.size() < kChunkHeaderSize + 4) break;
        const uint32_t size = ReadLe32(header.data() + 4);
        if (IdIs(header.data(), "LIST") && IdIs(header.data() + 8, "hdrl")) {
            if (size < 4 || size > kMaxHeaderListSize)
                throw AviError("the AVI header list is damaged");
            const std::vector<uint8_t> payload = source.Read(position + 12, size - 4);
            AviHeaders headers;
            headers.streams = ParseHeaderList(payload);
            for (size_t i = 0; i < headers.streams.size(); ++i) {
                if (headers.streams[i].type == "vids") {
                    headers.videoStream = i;
                    break;
                }
            }
            return headers;
        }
        position += kChunkHeaderSize + Padded(size);
    }
    throw AviError("the AVI has no header list");
}

AviChunkWalker::AviChunkWalker(ByteSource& source) : source_(source) {}

// Finds the 'movi' LIST of the next RIFF part ('AVI ' first, then each 'AVIX').
bool AviChunkWalker::EnterNextMovi() {
    while (nextRiff_ + 12 <= source_.Size()) {
        const std::vector<uint8_t> riff = source_.Read(nextRiff_, 12);
        if (riff.size() < 12 || !IdIs(riff.data(), "RIFF")) return false;
        const uint64_t partEnd = RiffPartEnd(nextRiff_, ReadLe32(riff.data() + 4), source_.Size());
        uint64_t position = nextRiff_ + 12;
        nextRiff_ =
            std::max(partEnd, nextRiff_ + kChunkHeaderSize + Padded(ReadLe32(riff.data() + 4)));
        while (position + 12 <= partEnd) {
            const std::vector<uint8_t> header = source_.Read(position, 12);
            if (header.size() < 12) return false;
            const uint32_t size = ReadLe32(header.data() + 4);
            if (IdIs(header.data(), "LIST") && IdIs(header.data() + 8, "movi") && size >= 4) {
                stack_.push_back({position + 12,
                                  std::min<uint64_t>(position + kChunkHeaderSize + size, partEnd)});
                return true;
            }
            position += kChunkHeaderSize + Padded(size);
        }
    }
    return false;
}

std::optional<AviChunk> AviChunkWalker::Next() {
    for (;;) {
        if (stack_.empty() && !EnterNextMovi()) return std::nullopt;
        Range& range = stack_.back();
        if (range.position + kChunkHeaderSize > range.end) {
            stack_.pop_back();
            continue;
        }
        const std::vector<uint8_t> header = source_.Read(range.position, 12);
        if (header.size() < kChunkHeaderSize) {
            stack_.clear();
            nextRiff_ = source_.Size();
            return std::nullopt;
        }
        const uint32_t size = ReadLe32(header.data() + 4);
        const uint64_t dataOffset = range.position + kChunkHeaderSize;
        range.position = dataOffset + Padded(size);
        if (IdIs(header.data(), "LIST")) {
            const uint64_t groupEnd = std::min(dataOffset + size, range.end);
            if (header.size() == 12 && IdIs(header.data() + 8, "rec ") && size >= 4 &&
                stack_.size() < kMaxNesting)
                stack_.push_back({dataOffset + 4, groupEnd});
            continue;
        }
        AviChunk chunk;
        std::memcpy(chunk.id, header.data(), 4);
        chunk.offset = dataOffset;
        chunk.size = size;
        return chunk;
    }
}

bool IsVideoChunkOf(const AviChunk& chunk, size_t stream) {
    if (stream > 99) return false;
    const char tens = static_cast<char>('0' + stream / 10);
    const char ones = static_cast<char>('0' + stream % 10);
    return chunk.id[0] == tens && chunk.id[1] == ones && chunk.id[2] == 'd' &&
           (chunk.id[3] == 'c' || chunk.id[3] == 'b');
}

}  // namespace kestrun::media
