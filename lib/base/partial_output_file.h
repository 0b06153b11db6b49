#pragma once
// An output written under a temporary name beside its final path ("<final>.partial") and renamed
// into place only when complete, so that a failed or interrupted run never leaves a file under
// the final name that looks finished. The temporary file is removed when the object is destroyed
// without Commit(), and also when the process is ended by SIGINT, SIGTERM or SIGHUP. A write past
// the process's file size limit fails as a full disk does. The signal handling covers one such file
// at a time per process (the most recently created).
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrun::base {

class PartialOutputFile {
public:
    explicit PartialOutputFile(std::string finalPath);
    ~PartialOutputFile();
    PartialOutputFile(const PartialOutputFile&) = delete;
    PartialOutputFile& operator=(const PartialOutputFile&) = delete;

    const std::string& TempPath() const { return tempPath_; }
    const std::string& FinalPath() const { return finalPath_; }

    // Creates the temporary file for Write(). A writer that creates TempPath() itself (such as
    // libavformat) skips this. Throws std::runtime_error "cannot create <temp>: <reason>".
    void Open();
    // Appends to the file made by Open(); throws std::runtime_error "cannot write <temp>: ...".
    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }

    // Closes the file made by Open() (a failed close is a failed write) and renames the temporary
    // file to the final path. A file that had the final name when this object was made is
    // replaced, as the command line asked; one that took the name meanwhile is someone else's and
    // stays as it is. Throws std::runtime_error naming the file.
    void Commit();

private:
    [[noreturn]] void ThrowFileError(const char* what) const;

    std::string finalPath_;
    std::string tempPath_;
    bool finalExisted_ = false;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace kestrun::base
