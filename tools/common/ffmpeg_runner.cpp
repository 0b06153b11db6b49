#include "common/ffmpeg_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/run_program.h"

extern char** environ;

namespace standin {
namespace {

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// FFmpeg 5.1 reports some write failures (a full disk while the last buffer or the trailer is
// written) only as a message and still exits with 0. These are the messages that mean the output
// is incomplete.
constexpr std::array<std::string_view, 5> kWriteFailureMessages = {
    "Error writing trailer", "Error closing file", "No space left on device", "Disk quota exceeded",
    "Input/output error"};

// Collects FFmpeg's messages line by line, passes them on to this process's standard error and
// remembers whether one of them reported a failed write.
class MessageWatch {
public:
    void Take(const char* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n' || data[i] == '\r') {
                CheckLine();
                line_.clear();
            } else if (line_.size() < 4096) {
                line_ += data[i];
            }
        }
    }
    void Finish() { CheckLine(); }
    bool SawWriteFailure() const { return writeFailed_; }

private:
    void CheckLine() {
        for (const auto message : kWriteFailureMessages) {
            if (line_.find(message) != std::string::npos) writeFailed_ = true;
        }
    }
    std::string line_;
    bool writeFailed_ = false;
};

struct FfmpegOutcome {
    int exitCode = 127;  // 127: could not start; 128 + n: killed by signal n
    bool writeFailed = false;
};

int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 127;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 127;
}

// Runs FFmpeg without a shell, standard input from /dev/null, its standard error watched.
FfmpegOutcome RunWatched(const std::vector<std::string>& args) {
    FfmpegOutcome outcome;
    int fds[2];
    if (args.empty() || ::pipe2(fds, O_CLOEXEC) != 0) return outcome;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return outcome;
    }
    MessageWatch watch;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        watch.Take(buffer, static_cast<size_t>(n));
        [[maybe_unused]] const ssize_t written = ::write(2, buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    watch.Finish();
    outcome.exitCode = WaitFor(pid);
    outcome.writeFailed = watch.SawWriteFailure();
    return outcome;
}

long long ModifiedNs(const struct stat& st) {
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

}  // namespace

std::vector<std::string> FfmpegCommandHead() {
    return {kFfmpegProgram, "-nostdin", "-y", "-hide_banner", "-nostats", "-loglevel", "error"};
}

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

OutputGuard::OutputGuard(std::vector<std::string> outputs) {
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

void OutputGuard::RemoveWrittenOutputs() const {
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
                     const std::vector<std::string>& outputs) {
    const OutputGuard guard(outputs);
    const FfmpegOutcome outcome = RunWatched(args);
    if (outcome.exitCode == 0 && !outcome.writeFailed) return 0;
    if (outcome.exitCode == 127)
        Fail(tool, what + " failed: cannot start " + args.front());
    else if (outcome.exitCode == 0)
        Fail(tool, what + " failed: the output could not be written completely");
    else
        Fail(tool, what + " failed (FFmpeg exit code " + std::to_string(outcome.exitCode) + ")");
    guard.RemoveWrittenOutputs();
    return 1;
}

std::string ConversionFileProblem(const std::string& input, const std::string& output) {
    if (auto problem = InputFileProblem(input); !problem.empty()) return problem;
    if (auto problem = OutputFolderProblem(output); !problem.empty()) return problem;
    if (IsSameFile(input, output)) return "output would overwrite its own input: " + output;
    return {};
}

}  // namespace standin
