#pragma once
// Reading the RIFF structure of AVI files: the stream headers of 'hdrl' and the chunks of 'movi'
// (including the OpenDML 'AVIX' continuations and 'rec ' groups). Headers are parsed from byte
// buffers; the media chunks are visited one at a time through a ByteSource, so a large file is
// never held in memory.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrun::media {

class AviError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Random access to the bytes of a file (or of a buffer, in tests).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to `count` bytes at `offset`; returns how many were available.
    virtual size_t ReadAt(uint64_t offset, uint8_t* destination, size_t count) = 0;

    std::vector<uint8_t> Read(uint64_t offset, size_t count);
};

class BufferSource : public ByteSource {
public:
    explicit BufferSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_.size(); }
    size_t ReadAt(uint64_t offset, uint8_t* destination, size_t count) override;

private:
    std::vector<uint8_t> bytes_;
};

class FileSource : public ByteSource {
public:
    // Throws AviError when the file cannot be opened.
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, uint8_t* destination, size_t count) override;

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

// "vids" etc. from four bytes; non-printable bytes become '?'.
std::string FourCcText(const uint8_t* bytes);

struct AviStreamInfo {
    std::string type;                  // strh fccType: "vids", "auds", ...
    std::string handler;               // strh fccHandler
    std::string compression;           // strf biCompression (video streams only)
    std::vector<uint8_t> formatExtra;  // strf bytes after the 40-byte BITMAPINFOHEADER (video)
};

// The stream list of an 'hdrl' LIST, given the LIST's payload (after the 'hdrl' form type).
std::vector<AviStreamInfo> ParseHeaderList(const std::vector<uint8_t>& hdrlPayload);

struct AviHeaders {
    std::vector<AviStreamInfo> streams;
    // Index into `streams` of the first video stream, if any.
    std::optional<size_t> videoStream;
};

// Checks the 'RIFF' 'AVI ' signature and reads the stream headers. Throws AviError.
AviHeaders ReadAviHeaders(ByteSource& source);

struct AviChunk {
    char id[5] = {};      // e.g. "00dc"
    uint64_t offset = 0;  // of the chunk's data
    uint32_t size = 0;    // as declared (may run past a truncated file's end)
};

// Visits the media chunks of every 'movi' LIST in file order, descending into 'rec ' groups and
// continuing into 'AVIX' parts. A chunk header that runs past its container ends the walk.
class AviChunkWalker {
public:
    explicit AviChunkWalker(ByteSource& source);
    // The next chunk, or nullopt at the end.
    std::optional<AviChunk> Next();

private:
    struct Range {
        uint64_t position;
        uint64_t end;
    };
    bool EnterNextMovi();

    ByteSource& source_;
    uint64_t nextRiff_ = 0;
    std::vector<Range> stack_;
};

// True when a chunk ID belongs to the video stream numbered `stream` ("00dc", "00db").
bool IsVideoChunkOf(const AviChunk& chunk, size_t stream);

}  // namespace kestrun::media
