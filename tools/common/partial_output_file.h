#pragma once
// An output written under a temporary name beside its final path ("<final>.partial") and renamed
// into place only when complete, so that a failed or interrupted run never leaves a file under
// the final name that looks finished. The temporary file is removed when the object is destroyed
// without Commit(), and also when the process is ended by SIGINT, SIGTERM or SIGHUP. A write past
// the process's file size limit fails as a full disk does. The signal handling covers one such file
// at a time per process (the most recently created).
#include <string>

namespace standin {

class PartialOutputFile {
public:
    explicit PartialOutputFile(std::string finalPath);
    ~PartialOutputFile();
    PartialOutputFile(const PartialOutputFile&) = delete;
    PartialOutputFile& operator=(const PartialOutputFile&) = delete;

    const std::string& TempPath() const { return tempPath_; }
    const std::string& FinalPath() const { return finalPath_; }

    // Renames the temporary file to the final path (replacing a file there).
    // Throws std::runtime_error naming the file when that fails.
    void Commit();

private:
    std::string finalPath_;
    std::string tempPath_;
    bool committed_ = false;
};

}  // namespace standin
