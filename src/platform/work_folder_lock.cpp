#include "platform/work_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/work_files.h"

namespace kestrun {
namespace {

// The holder removes the file before it lets go, so a lock taken on a file that is no longer
// the one under the name guards nothing: try again on the new one.
constexpr int kAttempts = 5;

bool StillNamed(int fd, const std::string& path) {
    struct stat held {
    }, named{};
    return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

WorkFolderLock::WorkFolderLock(const std::string& folder)
    : path_(folder + std::string(work::kWorkFolderLock)) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            busy_ = errno == EWOULDBLOCK;
            close(fd);
            return;
        }
        if (StillNamed(fd, path_)) {
            fd_ = fd;
            return;
        }
        close(fd);
    }
}

WorkFolderLock::~WorkFolderLock() {
    if (fd_ < 0) return;
    unlink(path_.c_str());
    close(fd_);
}

ToolTurn::ToolTurn(const std::string& toolFolder)
    : fd_(open(toolFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

ToolTurn::~ToolTurn() {
    if (fd_ >= 0) close(fd_);
}

bool ToolTurn::TryTake() {
    if (fd_ < 0 || held_) return true;
    held_ = flock(fd_, LOCK_EX | LOCK_NB) == 0;
    return held_ || errno != EWOULDBLOCK;
}

void ToolTurn::Release() {
    if (fd_ >= 0 && held_) flock(fd_, LOCK_UN);
    held_ = false;
}

}  // namespace kestrun
