#include "base/partial_output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kestrun::base {
namespace {

// The path removed by the signal handler: a fixed buffer, as the handler may not allocate.
char g_tempPathForSignals[4096];

void RemoveTempAndReraise(int signalNumber) {
    if (g_tempPathForSignals[0] != '\0') unlink(g_tempPathForSignals);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void WatchSignals(const std::string& path) {
    if (path.size() >= sizeof g_tempPathForSignals) return;
    std::memcpy(g_tempPathForSignals, path.c_str(), path.size() + 1);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, RemoveTempAndReraise);
    // Past the file size limit a write then fails with EFBIG, reported like a full disk,
    // instead of the process being killed with its temporary file left behind.
    signal(SIGXFSZ, SIG_IGN);
}

void StopWatchingSignals() {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SIG_DFL);
    g_tempPathForSignals[0] = '\0';
}

}  // namespace

PartialOutputFile::PartialOutputFile(std::string finalPath)
    : finalPath_(std::move(finalPath)), tempPath_(finalPath_ + ".partial") {
    struct stat info {};
    finalExisted_ = lstat(finalPath_.c_str(), &info) == 0;
    WatchSignals(tempPath_);
}

PartialOutputFile::~PartialOutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) unlink(tempPath_.c_str());
    StopWatchingSignals();
}

void PartialOutputFile::Open() {
    fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) ThrowFileError("cannot create");
}

void PartialOutputFile::Write(const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ThrowFileError("cannot write");
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

void PartialOutputFile::Commit() {
    if (fd_ >= 0) {
        const int rc = ::close(fd_);
        fd_ = -1;
        if (rc != 0) ThrowFileError("cannot write");
    }
    int rc = finalExisted_ ? std::rename(tempPath_.c_str(), finalPath_.c_str())
                           : renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, finalPath_.c_str(),
                                       RENAME_NOREPLACE);
    // A file system without the flag: a hard link never replaces either.
    if (rc != 0 && !finalExisted_ && (errno == EINVAL || errno == ENOSYS)) {
        rc = ::link(tempPath_.c_str(), finalPath_.c_str());
        if (rc == 0) unlink(tempPath_.c_str());
    }
    if (rc != 0)
        throw std::runtime_error("cannot rename " + tempPath_ + " to " + finalPath_ + ": " +
                                 std::strerror(errno));
    committed_ = true;
}

void PartialOutputFile::ThrowFileError(const char* what) const {
    throw std::runtime_error(std::string(what) + " " + tempPath_ + ": " + std::strerror(errno));
}

}  // namespace kestrun::base
