#pragma once
// Streams 16-bit PCM into a WAV file: the header goes out first with provisional sizes and is
// patched when the file is finished. A file that is never finished is removed again, so a failed
// decode leaves no WAV behind.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "decoder/wav_header.h"

namespace kestrun {

class WavFileWriter {
public:
    explicit WavFileWriter(std::string path);
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // Creates (or empties) the file. Throws DecodeError when its folder is missing, when the
    // path names something other than a regular file, or when it cannot be created.
    void Create();
    // Writes the header; called once, before the first samples.
    void Begin(const WavFormat& format);
    bool HasBegun() const { return begun_; }
    const WavFormat& Format() const { return format_; }
    // Appends interleaved little-endian samples; throws DecodeError when the write fails (a full
    // disk, a file size limit).
    void Write(std::span<const std::uint8_t> samples);
    // Patches the sizes and closes the file; throws DecodeError when that fails.
    void Finish();

    std::uint64_t DataBytes() const { return dataBytes_; }
    std::uint64_t FileBytes() const { return headerBytes_ + dataBytes_; }

private:
    [[noreturn]] void ThrowIoError(const char* what) const;
    void WriteRaw(const void* data, std::size_t size);
    void CloseAndRemove();

    std::string path_;
    std::FILE* file_ = nullptr;
    bool begun_ = false;
    WavFormat format_;
    std::uint64_t headerBytes_ = 0;
    std::uint64_t dataBytes_ = 0;
};

}  // namespace kestrun
