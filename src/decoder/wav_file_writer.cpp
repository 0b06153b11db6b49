#include "decoder/wav_file_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "decoder/decode_error.h"

namespace kestrun {
namespace {

constexpr std::size_t kWriteBufferSize = 1 << 20;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void CheckOutputPath(const std::string& path) {
    if (path.empty() || path.back() == '/') {
        throw DecodeError("no output file name given: \"" + path + "\"");
    }
    struct stat info {};
    const auto folder = FolderOf(path);
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        throw DecodeError("output folder does not exist: " + folder);
    }
    // A FIFO or a device would block or swallow the output; only a plain file is replaced.
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        throw DecodeError("output path is not a regular file: " + path);
    }
}

}  // namespace

WavFileWriter::WavFileWriter(std::string path) : path_(std::move(path)) {}

WavFileWriter::~WavFileWriter() { CloseAndRemove(); }

void WavFileWriter::Create() {
    CheckOutputPath(path_);
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) {
        throw DecodeError("cannot create " + path_ + ": " + std::strerror(errno));
    }
    std::setvbuf(file_, nullptr, _IOFBF, kWriteBufferSize);
}

void WavFileWriter::Begin(const WavFormat& format) {
    format_ = format;
    const auto header = MakeWavHeader(format_, 0);
    WriteRaw(header.data(), header.size());
    headerBytes_ = header.size();
    begun_ = true;
}

void WavFileWriter::Write(std::span<const std::uint8_t> samples) {
    WriteRaw(samples.data(), samples.size());
    dataBytes_ += samples.size();
}

void WavFileWriter::Finish() {
    if (!begun_) throw DecodeError("no samples were written to " + path_);
    const auto header = MakeWavHeader(format_, dataBytes_);
    if (std::fflush(file_) != 0) ThrowIoError("writing");
    if (::fseeko(file_, 0, SEEK_SET) != 0) ThrowIoError("rewinding");
    WriteRaw(header.data(), header.size());
    std::FILE* file = std::exchange(file_, nullptr);
    if (std::fclose(file) != 0) {
        const int error = errno;
        std::remove(path_.c_str());
        throw DecodeError("writing " + path_ + " failed: " + std::strerror(error));
    }
}

void WavFileWriter::ThrowIoError(const char* what) const {
    throw DecodeError(std::string(what) + " " + path_ + " failed: " + std::strerror(errno));
}

void WavFileWriter::WriteRaw(const void* data, std::size_t size) {
    if (size == 0) return;
    if (std::fwrite(data, 1, size, file_) != size) ThrowIoError("writing");
}

void WavFileWriter::CloseAndRemove() {
    if (!file_) return;
    std::fclose(std::exchange(file_, nullptr));
    std::remove(path_.c_str());
}

}  // namespace kestrun
