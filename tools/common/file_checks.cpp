#include "common/file_checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace standin {
namespace {

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string InputFileProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return "input file does not exist: " + path;
        return "cannot read input file " + path + ": " + std::strerror(errno);
    }
    if (S_ISDIR(st.st_mode)) return "input is a folder, not a file: " + path;
    if (S_ISREG(st.st_mode) && st.st_size == 0) return "input file is empty: " + path;
    if (::access(path.c_str(), R_OK) != 0)
        return "cannot read input file " + path + ": " + std::strerror(errno);
    return {};
}

std::string OutputFolderProblem(const std::string& path) {
    const std::string folder = ParentFolder(path);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "output folder does not exist: " + folder;
    return {};
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string ConversionFileProblem(const std::string& input, const std::string& output) {
    if (auto problem = InputFileProblem(input); !problem.empty()) return problem;
    if (auto problem = OutputFolderProblem(output); !problem.empty()) return problem;
    if (IsSameFile(input, output)) return "output would overwrite its own input: " + output;
    return {};
}

std::string ReadBoundedFile(const std::string& path, size_t maxBytes, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the " + what + " " + path);
    std::string text;
    char chunk[65536];
    while (text.size() <= maxBytes && in.read(chunk, sizeof chunk).gcount() > 0)
        text.append(chunk, static_cast<size_t>(in.gcount()));
    if (text.size() > maxBytes)
        throw std::runtime_error("the " + what + " " + path + " is larger than " +
                                 std::to_string(maxBytes / 1024) + " KiB");
    return text;
}

}  // namespace standin
