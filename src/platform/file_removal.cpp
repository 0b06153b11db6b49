#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_api.h"

namespace kestrun {
namespace {

bool Fail(std::string* error, const std::string& what, const std::string& path) {
    if (error != nullptr) *error = what + " '" + path + "': " + std::strerror(errno);
    return false;
}

// Full paths of every entry of the folder, hidden ones included, without its dot entries;
// collected before anything is removed so that removal does not disturb the listing.
bool CollectEntries(const std::string& folder, std::vector<std::string>& paths,
                    std::string* error) {
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return Fail(error, "Cannot list", folder);
    while (const dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        paths.push_back(folder + "/" + name);
    }
    closedir(listing);
    return true;
}

// What blocks removal here is the folder's own write permission (a file's mode never does), so
// a folder is made writable for its owner before it is emptied.
void MakeFolderWritable(const std::string& folder, const struct stat& info) {
    const mode_t needed = S_IWUSR | S_IXUSR | S_IRUSR;
    if ((info.st_mode & needed) != needed) chmod(folder.c_str(), (info.st_mode & 07777) | needed);
}

}  // namespace

bool DeleteFileNoForce(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (IsReadOnlyFile(path)) return false;
    return unlink(path.c_str()) == 0;
}

bool DeleteTree(const std::string& folderPath, std::string* error) {
    std::string folder = folderPath;
    // "x/" would follow a link named x; the link itself is what we are asked about.
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) return Fail(error, "Cannot remove", folder);
    // A link is removed as a link; what it points to is not ours to empty.
    if (S_ISLNK(info.st_mode)) {
        return unlink(folder.c_str()) == 0 || Fail(error, "Cannot remove", folder);
    }
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return Fail(error, "Cannot remove", folder);
    }
    MakeFolderWritable(folder, info);
    std::vector<std::string> entries;
    if (!CollectEntries(folder, entries, error)) return false;
    for (const auto& path : entries) {
        struct stat entryInfo {};
        if (lstat(path.c_str(), &entryInfo) != 0) return Fail(error, "Cannot remove", path);
        if (S_ISDIR(entryInfo.st_mode)) {
            if (!DeleteTree(path, error)) return false;
        } else if (unlink(path.c_str()) != 0) {
            return Fail(error, "Cannot remove", path);
        }
    }
    if (rmdir(folder.c_str()) != 0) return Fail(error, "Cannot remove", folder);
    return true;
}

}  // namespace kestrun
