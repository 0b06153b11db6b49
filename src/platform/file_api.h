#pragma once
// File and folder helpers: sizes of files of any length, existence tests, listings with Windows
// wildcard rules, and removal helpers that never force.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

using FileHandle = int;
inline constexpr FileHandle kInvalidHandle = -1;
// Size reported for a file that cannot be opened for reading and writing (missing, read-only).
inline constexpr std::int64_t kInvalidFileSize = 4294967295LL;

// Attribute words as the listing reports them.
inline constexpr std::uint32_t kAttrReadOnly = 1;
inline constexpr std::uint32_t kAttrHidden = 2;
inline constexpr std::uint32_t kAttrFolder = 16;
inline constexpr std::uint32_t kAttrArchive = 32;

// Opens read-write and reports the size; a file that cannot be opened gives kInvalidHandle and
// kInvalidFileSize. The caller closes the handle with CloseFileHandle.
void OpenFileForSize(const std::string& path, FileHandle& handle, std::int64_t& size);
std::int64_t SizeFromHandle(FileHandle handle);
std::int64_t SizeFromHalves(std::int32_t low, std::int32_t high);
void CloseFileHandle(FileHandle handle);
// Open, size, close: what every caller of OpenFileForSize does.
std::int64_t FileSizeForOutput(const std::string& path);

// Folder 16, file 32; +1 when not writable, +2 when the name starts with a dot.
std::uint32_t AttributesOf(const std::string& path);
bool PathExists(const std::string& path, bool includeFolders);
// Bare file names matching the pattern (a folder ending in '/' lists "*.*"), case-insensitive
// wildcards, in the file system's order; nothing found gives one empty element.
std::vector<std::string> ListFiles(const std::string& spec);
std::string TrimAtNull(std::string_view text);
bool IsFolderAttr(std::uint32_t attributes);
// The listing's name test: '*' and '?' as wildcards, letters compared without case, and "x.*"
// also matching "x" (so "*.*" matches every name, with or without a dot).
bool MatchesWildcard(std::string_view pattern, std::string_view name);
// A file that may not be written: no write permission for us, or no write bit for anyone (which
// holds for the superuser too, like the read-only attribute).
bool IsReadOnlyFile(const std::string& path);

bool FileExists(const std::string& path);    // a regular file
bool FolderExists(const std::string& path);  // a directory
// Deletes a file we may write; a read-only file or a folder stays. True when it was deleted.
bool DeleteFileNoForce(const std::string& path);
// Removes the folder with everything in it; stops at the first entry that cannot be removed and
// returns false with the reason in `error`.
bool DeleteTree(const std::string& folder, std::string* error = nullptr);

// Whether anything at all has this name: a file, a folder or a link (even one that leads nowhere).
bool NameTaken(const std::string& path);
// The longest file name the folder takes, in bytes (pathconf NAME_MAX; 255 when it says none).
long NameLimit(const std::string& folder);
// Makes a new folder inside `parent` (which ends with '/') named `prefix` followed by six
// characters of our choosing; never an existing folder. Its path with a trailing '/', or empty
// with the reason in `error`.
std::string MakeFreshFolder(const std::string& parent, std::string_view prefix,
                            std::string* error = nullptr);
// Renames a file or folder to `to` unless something already has that name; false with the
// reason in `error` otherwise. Nothing is ever written over.
bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error = nullptr);

// Appends one line to a text file (opened and closed for the one entry).
void AppendLine(const std::string& path, std::string_view line);

}  // namespace kestrun
