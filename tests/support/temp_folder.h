#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end
// (read-only parts included), and whole-file reading and writing.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrun::test {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "kestrun-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder with a trailing '/', as the window holds work folders.
    std::string slash() const { return path_.string() + "/"; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes a file (creating folders on the way) and returns its path.
    std::string Write(const std::string& name, const std::string& content = {}) const;
    // Creates a sub-folder (and its parents) and returns its path.
    std::string MakeFolder(const std::string& name) const;

private:
    std::filesystem::path path_;
};

std::string ReadWholeFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
// Names of the entries of a folder, sorted; none when it cannot be read.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

}  // namespace kestrun::test
