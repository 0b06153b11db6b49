#include "level_rewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "common/h264_level_patcher.h"
#include "common/partial_output_file.h"

namespace standin {
namespace {

constexpr size_t kChunkSize = 1 << 20;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int Close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

size_t ReadChunk(int fd, uint8_t* buffer, const std::string& path) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, kChunkSize);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) ThrowFileError("cannot read", path);
    }
}

void WriteAll(int fd, const uint8_t* data, size_t size, const std::string& path) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ThrowFileError("cannot write", path);
        data += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace

LevelRewriteResult RewriteSpsLevels(const std::string& inputPath, const std::string& outputPath,
                                    uint8_t levelIdc) {
    FileDescriptor input(::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0) ThrowFileError("cannot open", inputPath);
    PartialOutputFile output(outputPath);
    FileDescriptor out(
        ::open(output.TempPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0) ThrowFileError("cannot create", output.TempPath());

    h264::SpsLevelPatcher patcher(levelIdc);
    std::vector<uint8_t> buffer(kChunkSize);
    size_t total = 0;
    while (const size_t n = ReadChunk(input.get(), buffer.data(), inputPath)) {
        patcher.Patch(buffer.data(), n);
        WriteAll(out.get(), buffer.data(), n, output.TempPath());
        total += n;
    }
    if (out.Close() != 0) ThrowFileError("cannot write", output.TempPath());
    if (total == 0) throw std::runtime_error("input file is empty: " + inputPath);
    if (patcher.SpsCount() == 0)
        throw std::runtime_error("no H.264 sequence parameter set found in " + inputPath);
    output.Commit();
    return {patcher.SpsCount(), patcher.ChangedCount()};
}

}  // namespace standin
