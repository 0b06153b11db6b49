#include "common/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

extern char** environ;

namespace standin {
namespace {

std::vector<char*> CArgs(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 127;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 127;
}

int Spawn(const std::vector<std::string>& argv, int stdoutFd, bool quiet, pid_t* pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    if (quiet) {
        if (stdoutFd < 0) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    auto args = CArgs(argv);
    int rc = posix_spawnp(pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, bool quiet) {
    if (argv.empty()) return 127;
    pid_t pid = 0;
    if (Spawn(argv, -1, quiet, &pid) != 0) return 127;
    return WaitFor(pid);
}

std::string CaptureProgram(const std::vector<std::string>& argv, int* exitCode) {
    std::string out;
    int fds[2];
    if (argv.empty() || pipe2(fds, O_CLOEXEC) != 0) {
        if (exitCode) *exitCode = 127;
        return out;
    }
    pid_t pid = 0;
    int rc = Spawn(argv, fds[1], false, &pid);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        if (exitCode) *exitCode = 127;
        return out;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int code = WaitFor(pid);
    if (exitCode) *exitCode = code;
    return out;
}

void Fail(const std::string& tool, const std::string& message) {
    std::cerr << tool << ": " << message << std::endl;
}

}  // namespace standin
