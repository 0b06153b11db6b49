#include "level_rewrite.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#include "base/partial_output_file.h"
#include "common/lib_names.h"
#include "media/h264_level_patcher.h"

namespace standin {
namespace {

constexpr size_t kChunkSize = 4 << 20;
// Level bytes a rewrite in place remembers, with their old values to put back on a failure. One
// SPS per keyframe of a long film is far below this; a stream that needs more is copied instead.
constexpr size_t kMaxInPlaceChanges = 1 << 20;

// Closes a file when the rewrite ends, however it ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
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

void CheckStream(size_t total, const h264::SpsLevelPatcher& patcher, const std::string& path) {
    if (total == 0) throw std::runtime_error("input file is empty: " + path);
    if (patcher.SpsCount() == 0)
        throw std::runtime_error("no H.264 sequence parameter set found in " + path);
}

// The names an interrupting signal swaps back (fixed buffers: the handler may not allocate).
char g_swappedFrom[4096];
char g_swappedTo[4096];

void SwapBackAndReraise(int signalNumber) {
    if (g_swappedTo[0] != '\0')
        renameat2(AT_FDCWD, g_swappedTo, AT_FDCWD, g_swappedFrom, RENAME_NOREPLACE);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// The input under the output's name until Keep(): a failure or an interrupting signal gives the
// input its name back. One at a time per process.
class NameSwap {
public:
    NameSwap(const std::string& from, const std::string& to) : from_(from), to_(to) {}
    ~NameSwap() { PutBack(); }
    NameSwap(const NameSwap&) = delete;
    NameSwap& operator=(const NameSwap&) = delete;

    // False when the input cannot take the name: it is taken, or on another file system.
    bool Take() {
        if (from_.size() >= sizeof g_swappedFrom || to_.size() >= sizeof g_swappedTo) return false;
        std::memcpy(g_swappedFrom, from_.c_str(), from_.size() + 1);
        std::memcpy(g_swappedTo, to_.c_str(), to_.size() + 1);
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SwapBackAndReraise);
        taken_ = renameat2(AT_FDCWD, from_.c_str(), AT_FDCWD, to_.c_str(), RENAME_NOREPLACE) == 0;
        if (!taken_) Disarm();
        return taken_;
    }

    void Keep() {
        Disarm();
        taken_ = false;
    }

    // Empty once the input has its name again (or never lost it); otherwise says where it is.
    std::string PutBack() {
        if (!taken_) return {};
        taken_ = false;
        const int rc = renameat2(AT_FDCWD, to_.c_str(), AT_FDCWD, from_.c_str(), RENAME_NOREPLACE);
        const int error = errno;
        Disarm();
        if (rc == 0) return {};
        return "; the stream is left as " + to_ + " (cannot rename it back to " + from_ + ": " +
               std::strerror(error) + ")";
    }

private:
    static void Disarm() {
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SIG_DFL);
        g_swappedTo[0] = '\0';
    }

    std::string from_;
    std::string to_;
    bool taken_ = false;
};

// Holds back the interrupting signals while the level bytes are written, so that a stream is
// either left whole under its new name or renamed back.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t held;
        sigemptyset(&held);
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signalNumber);
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~HeldSignals() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t previous_;
};

// Writes the new level over each changed byte; on a failure puts the old bytes back and throws.
void WriteLevels(int fd, const std::vector<h264::LevelChange>& changes, uint8_t levelIdc,
                 const std::string& path) {
    for (size_t i = 0; i < changes.size(); ++i) {
        ssize_t n;
        do {
            n = ::pwrite(fd, &levelIdc, 1, static_cast<off_t>(changes[i].offset));
        } while (n < 0 && errno == EINTR);
        if (n == 1) continue;
        const int error = n < 0 ? errno : EIO;
        for (size_t j = 0; j < i; ++j)
            (void)::pwrite(fd, &changes[j].was, 1, static_cast<off_t>(changes[j].offset));
        errno = error;
        ThrowFileError("cannot write", path);
    }
}

bool OnDevice(const std::string& path, dev_t device) {
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && info.st_dev == device;
}

// The input renamed to the output and its level bytes changed where they lie. Nothing when the
// stream has to be copied instead; then both names are as they were.
std::optional<LevelRewriteResult> RewriteInPlace(const std::string& inputPath,
                                                 const std::string& outputPath, uint8_t levelIdc) {
    // A second link to the input would see the change; a symbolic link is not ours to follow.
    struct stat input {};
    if (lstat(inputPath.c_str(), &input) != 0 || !S_ISREG(input.st_mode) || input.st_nlink != 1)
        return std::nullopt;
    struct stat output {};
    const bool sameFile = lstat(outputPath.c_str(), &output) == 0 &&
                          output.st_dev == input.st_dev && output.st_ino == input.st_ino;
    NameSwap name(inputPath, outputPath);
    if (!sameFile && (!OnDevice(outputPath, input.st_dev) || !name.Take())) return std::nullopt;
    Descriptor stream(::open(outputPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (stream.get() < 0 || fstat(stream.get(), &opened) != 0 || opened.st_dev != input.st_dev ||
        opened.st_ino != input.st_ino)
        return std::nullopt;
    posix_fadvise(stream.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    h264::SpsLevelPatcher patcher(levelIdc);
    std::vector<h264::LevelChange> changes;
    try {
        std::vector<uint8_t> buffer(kChunkSize);
        size_t total = 0;
        while (const size_t n = ReadChunk(stream.get(), buffer.data(), inputPath)) {
            patcher.Patch(buffer.data(), n, &changes);
            if (changes.size() > kMaxInPlaceChanges) return std::nullopt;
            total += n;
        }
        CheckStream(total, patcher, inputPath);
        HeldSignals held;
        WriteLevels(stream.get(), changes, levelIdc, outputPath);
        if (stream.Close() != 0) ThrowFileError("cannot write", outputPath);
        name.Keep();
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(e.what() + name.PutBack());
    }
    return LevelRewriteResult{patcher.SpsCount(), patcher.ChangedCount()};
}

LevelRewriteResult CopyWithLevels(const std::string& inputPath, const std::string& outputPath,
                                  uint8_t levelIdc) {
    Descriptor input(::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC));
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
    CheckStream(total, patcher, inputPath);
    output.Commit();
    return {patcher.SpsCount(), patcher.ChangedCount()};
}

}  // namespace

LevelRewriteResult RewriteSpsLevels(const std::string& inputPath, const std::string& outputPath,
                                    uint8_t levelIdc) {
    if (auto result = RewriteInPlace(inputPath, outputPath, levelIdc)) return *result;
    return CopyWithLevels(inputPath, outputPath, levelIdc);
}

}  // namespace standin
