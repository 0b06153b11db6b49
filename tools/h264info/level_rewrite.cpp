#include "level_rewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "base/partial_output_file.h"
#include "common/lib_names.h"
#include "media/h264_level_patcher.h"

namespace standin {
namespace {

constexpr size_t kChunkSize = 1 << 20;

// Closes the input when the rewrite ends, however it ends.
class InputDescriptor {
public:
    explicit InputDescriptor(int fd) : fd_(fd) {}
    ~InputDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    InputDescriptor(const InputDescriptor&) = delete;
    InputDescriptor& operator=(const InputDescriptor&) = delete;
    int get() const { return fd_; }

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

}  // namespace

LevelRewriteResult RewriteSpsLevels(const std::string& inputPath, const std::string& outputPath,
                                    uint8_t levelIdc) {
    InputDescriptor input(::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0) ThrowFileError("cannot open", inputPath);
    PartialOutputFile output(outputPath);
    output.Open();

    h264::SpsLevelPatcher patcher(levelIdc);
    std::vector<uint8_t> buffer(kChunkSize);
    size_t total = 0;
    while (const size_t n = ReadChunk(input.get(), buffer.data(), inputPath)) {
        patcher.Patch(buffer.data(), n);
        output.Write(buffer.data(), n);
        total += n;
    }
    if (total == 0) throw std::runtime_error("input file is empty: " + inputPath);
    if (patcher.SpsCount() == 0)
        throw std::runtime_error("no H.264 sequence parameter set found in " + inputPath);
    output.Commit();
    return {patcher.SpsCount(), patcher.ChangedCount()};
}

}  // namespace standin
