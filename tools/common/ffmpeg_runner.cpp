#include "common/ffmpeg_runner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/run_program.h"

namespace standin {
namespace {

std::string ParentFolder(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

long long ModifiedNs(const struct stat& st)
{
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

}  // namespace

std::vector<std::string> FfmpegCommandHead()
{
    return {kFfmpegProgram, "-nostdin", "-y", "-hide_banner", "-nostats", "-loglevel", "error"};
}

std::string InputFileProblem(const std::string& path)
{
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

std::string OutputFolderProblem(const std::string& path)
{
    const std::string folder = ParentFolder(path);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "output folder does not exist: " + folder;
    return {};
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

OutputGuard::OutputGuard(std::vector<std::string> outputs)
{
    for (auto& path : outputs) {
        Before b;
        b.path = std::move(path);
        struct stat st {};
        if (::lstat(b.path.c_str(), &st) == 0) {
            b.existed = true;
            b.size = static_cast<long long>(st.st_size);
            b.modifiedNs = ModifiedNs(st);
            b.inode = static_cast<unsigned long long>(st.st_ino);
        }
        before_.push_back(std::move(b));
    }
}

void OutputGuard::RemoveWrittenOutputs() const
{
    for (const auto& b : before_) {
        struct stat st {};
        if (::lstat(b.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const bool unchanged = b.existed && b.size == static_cast<long long>(st.st_size) &&
                               b.modifiedNs == ModifiedNs(st) &&
                               b.inode == static_cast<unsigned long long>(st.st_ino);
        if (!unchanged) std::remove(b.path.c_str());
    }
}

int RunFfmpegForTool(const std::string& tool, const std::string& what,
                     const std::vector<std::string>& args,
                     const std::vector<std::string>& outputs)
{
    const OutputGuard guard(outputs);
    const int code = RunProgram(args);
    if (code == 0) return 0;
    if (code == 127)
        Fail(tool, what + " failed: cannot start " + args.front());
    else
        Fail(tool, what + " failed (FFmpeg exit code " + std::to_string(code) + ")");
    guard.RemoveWrittenOutputs();
    return 1;
}

}  // namespace standin
