#include "platform/file_api.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace kestrun {
namespace {

constexpr std::int64_t kHalfRange = 4294967296LL;

bool NoWriteBitForAnyone(mode_t mode) { return (mode & 0222) == 0; }

// What a listing searches: the folder to read and the name pattern to match in it.
struct SearchSpec {
    std::string folder;  // ends with '/', or empty for the current folder
    std::string pattern;
};

SearchSpec SplitSpec(const std::string& spec) {
    std::size_t slash = spec.rfind('/');
    if (slash == std::string::npos) return {"", spec};
    return {spec.substr(0, slash + 1), spec.substr(slash + 1)};
}

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Calls visit(name, attributes) for each entry of the folder matching the pattern, in the order
// the file system gives them, until visit returns false. False when the folder cannot be read.
bool ForEachMatch(const SearchSpec& search,
                  const std::function<bool(const std::string&, std::uint32_t)>& visit) {
    DIR* folder = opendir(search.folder.empty() ? "." : search.folder.c_str());
    if (folder == nullptr) return false;
    // The root has no dot entries of its own.
    const bool skipDotEntries = search.folder == "/";
    while (const dirent* entry = readdir(folder)) {
        if (skipDotEntries && IsDotEntry(entry->d_name)) continue;
        if (!MatchesWildcard(search.pattern, entry->d_name)) continue;
        if (!visit(entry->d_name, AttributesOf(search.folder + entry->d_name))) break;
    }
    closedir(folder);
    return true;
}

}  // namespace

void OpenFileForSize(const std::string& path, FileHandle& handle, std::int64_t& size) {
    handle = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (handle != kInvalidHandle &&
        (fstat(handle, &info) != 0 || NoWriteBitForAnyone(info.st_mode))) {
        close(handle);
        handle = kInvalidHandle;
    }
    size = SizeFromHandle(handle);
}

std::int64_t SizeFromHandle(FileHandle handle) {
    struct stat info {};
    if (handle == kInvalidHandle || fstat(handle, &info) != 0) return SizeFromHalves(-1, 0);
    return static_cast<std::int64_t>(info.st_size);
}

std::int64_t SizeFromHalves(std::int32_t low, std::int32_t high) {
    std::int64_t unsignedLow = low >= 0 ? low : low + kHalfRange;
    return static_cast<std::int64_t>(high) * kHalfRange + unsignedLow;
}

void CloseFileHandle(FileHandle handle) {
    if (handle != kInvalidHandle) close(handle);
}

std::int64_t FileSizeForOutput(const std::string& path) {
    FileHandle handle = kInvalidHandle;
    std::int64_t size = kInvalidFileSize;
    OpenFileForSize(path, handle, size);
    CloseFileHandle(handle);
    return size;
}

std::uint32_t AttributesOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return 0;
    std::uint32_t attributes = S_ISDIR(info.st_mode) ? kAttrFolder : kAttrArchive;
    if (access(path.c_str(), W_OK) != 0 || NoWriteBitForAnyone(info.st_mode)) {
        attributes |= kAttrReadOnly;
    }
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    name = name.substr(name.rfind('/') + 1);  // npos + 1 == 0: the whole text
    if (!name.empty() && name[0] == '.') attributes |= kAttrHidden;
    return attributes;
}

bool PathExists(const std::string& path, bool includeFolders) {
    std::string spec = path;
    if (!spec.empty() && spec.back() == '/') spec += "*.*";
    bool found = false;
    ForEachMatch(SplitSpec(spec), [&](const std::string&, std::uint32_t attributes) {
        found = includeFolders || !(attributes & kAttrFolder);
        return !found;
    });
    return found;
}

std::vector<std::string> ListFiles(const std::string& spec) {
    std::string search = spec;
    if (!search.empty() && search.back() == '/') search += "*.*";
    std::vector<std::string> names{std::string()};
    ForEachMatch(SplitSpec(search), [&](const std::string& name, std::uint32_t attributes) {
        if (IsFolderAttr(attributes)) return true;
        if (names[0].empty()) {
            names[0] = TrimAtNull(name);
        } else {
            names.push_back(TrimAtNull(name));
        }
        return true;
    });
    return names;
}

std::string TrimAtNull(std::string_view text) {
    std::size_t nul = text.find('\0');
    return std::string(nul == std::string_view::npos ? text : text.substr(0, nul));
}

bool IsFolderAttr(std::uint32_t attributes) { return attributes >= 16 && attributes <= 23; }

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    return access(path.c_str(), W_OK) != 0 || NoWriteBitForAnyone(info.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool NameTaken(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

long NameLimit(const std::string& folder) {
    constexpr long kUsualLimit = 255;
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? limit : kUsualLimit;
}

std::string MakeFreshFolder(const std::string& parent, std::string_view prefix,
                            std::string* error) {
    std::string pattern = parent + std::string(prefix) + "XXXXXX";
    // mkdtemp makes the folder itself (mode 0700), so it can never be one that was there.
    if (mkdtemp(pattern.data()) == nullptr) {
        if (error != nullptr) *error = pattern + ": " + std::strerror(errno);
        return {};
    }
    return pattern + "/";
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    // A file system without the flag: a hard link never replaces either. A folder there is
    // renamed after a look, which leaves a moment for a name to appear in between.
    if (errno == EINVAL || errno == ENOSYS) {
        struct stat info {};
        if (lstat(from.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
            if (link(from.c_str(), to.c_str()) == 0) {
                unlink(from.c_str());
                return true;
            }
        } else if (!NameTaken(to)) {
            if (std::rename(from.c_str(), to.c_str()) == 0) return true;
        } else {
            errno = EEXIST;
        }
    }
    if (error != nullptr) *error = from + " -> " + to + ": " + std::strerror(errno);
    return false;
}

void AppendLine(const std::string& path, std::string_view line) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::string entry(line);
    entry += '\n';
    const char* data = entry.data();
    std::size_t left = entry.size();
    while (left > 0) {
        ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    close(fd);
}

}  // namespace kestrun
