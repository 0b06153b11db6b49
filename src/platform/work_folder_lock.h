#pragma once
// One conversion at a time per work folder: a lock file in the folder held with flock for as
// long as the conversion runs. The kernel drops the lock when the process ends, however it ends,
// so a crash leaves no stale lock behind.
#include <string>

namespace kestrun {

class WorkFolderLock {
public:
    // Tries to take the lock of `folder` (ending with '/') at once, without waiting.
    explicit WorkFolderLock(const std::string& folder);
    // Releases the lock and removes the lock file.
    ~WorkFolderLock();
    WorkFolderLock(const WorkFolderLock&) = delete;
    WorkFolderLock& operator=(const WorkFolderLock&) = delete;

    // True when another conversion holds the folder. A folder where no lock file can be made
    // (missing, read-only) is not busy: whatever runs there fails on its own.
    bool Busy() const { return busy_; }

private:
    std::string path_;
    int fd_ = -1;
    bool busy_ = false;
};

// A turn at a tool whose settings file has one fixed place in the program folder, shared by every
// conversion started from that folder: an flock on the tool's own folder, so nothing is made or
// removed. The kernel drops it when the process ends.
class ToolTurn {
public:
    explicit ToolTurn(const std::string& toolFolder);
    ~ToolTurn();
    ToolTurn(const ToolTurn&) = delete;
    ToolTurn& operator=(const ToolTurn&) = delete;

    // True once this turn holds the folder, at once, without waiting. A folder that cannot be
    // opened holds nobody up: the tool fails there on its own.
    bool TryTake();
    void Release();

private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace kestrun
