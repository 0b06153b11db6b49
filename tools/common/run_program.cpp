#include "common/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace standin {
namespace {

constexpr int kNotStarted = 127;

std::vector<char*> CArgs(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return kNotStarted;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kNotStarted;
}

// Where the child's standard output and error go: a descriptor of ours (-1: inherited), or
// /dev/null for both when `quiet`.
struct Streams {
    int out = -1;
    int err = -1;
    bool quiet = false;
};

int Spawn(const std::vector<std::string>& argv, const Streams& streams, pid_t* pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (streams.out >= 0) posix_spawn_file_actions_adddup2(&actions, streams.out, 1);
    if (streams.err >= 0) posix_spawn_file_actions_adddup2(&actions, streams.err, 2);
    if (streams.quiet) {
        if (streams.out < 0)
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (streams.err < 0)
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    auto args = CArgs(argv);
    const int rc = posix_spawnp(pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

// Runs with the child's descriptor `childFd` (1 or 2) on a pipe and hands what arrives on it to
// `take` until the child closes it; then waits.
int RunReading(const std::vector<std::string>& argv, int childFd,
               const std::function<void(const char*, size_t)>& take) {
    int fds[2];
    if (argv.empty() || pipe2(fds, O_CLOEXEC) != 0) return kNotStarted;
    Streams streams;
    (childFd == 1 ? streams.out : streams.err) = fds[1];
    pid_t pid = 0;
    const int rc = Spawn(argv, streams, &pid);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return kNotStarted;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        take(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    return WaitFor(pid);
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, bool quiet) {
    if (argv.empty()) return kNotStarted;
    pid_t pid = 0;
    if (Spawn(argv, Streams{.quiet = quiet}, &pid) != 0) return kNotStarted;
    return WaitFor(pid);
}

std::string CaptureProgram(const std::vector<std::string>& argv, int* exitCode) {
    std::string out;
    const int code =
        RunReading(argv, 1, [&out](const char* data, size_t size) { out.append(data, size); });
    if (exitCode) *exitCode = code;
    return out;
}

int RunProgramReadingErrors(const std::vector<std::string>& argv,
                            const std::function<void(const char*, size_t)>& onErrorOutput) {
    return RunReading(argv, 2, onErrorOutput);
}

}  // namespace standin
