#include "engine_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace standin {

int RunReadingLines(const std::vector<std::string>& argv,
                    const std::function<void(std::string_view)>& onLine) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return 127;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (started != 0) {
        close(fds[0]);
        return 127;
    }
    std::string line;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n' || buffer[i] == '\r') {
                if (!line.empty()) onLine(line);
                line.clear();
            } else {
                line += buffer[i];
            }
        }
    }
    if (!line.empty()) onLine(line);
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

std::string ProgressLine(double seconds, long long frames, int percent, double fps,
                         double minutesLeft) {
    char text[160];
    std::snprintf(text, sizeof text, "Pos: %6.1fs %6lldf (%2d%%) %6.2ffps Trem: %4dmin", seconds,
                  frames, percent, fps, static_cast<int>(minutesLeft + 0.5));
    return text;
}

}  // namespace standin
