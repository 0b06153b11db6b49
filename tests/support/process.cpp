#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/temp_folder.h"

extern char** environ;

namespace kestrun::test {
namespace {

// A file for one output stream of a child; the two streams go to files, not pipes, so that
// neither can fill up while the other is read.
std::string CaptureFile() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrun-capture-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("cannot make a capture file");
    close(fd);
    return pattern;
}

std::string TakeFile(const std::string& path) {
    std::string text = ReadWholeFile(path);
    std::remove(path.c_str());
    return text;
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env(options.extraEnvironment);
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string outPath = CaptureFile();
    const std::string errPath = CaptureFile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);

    ProgramRun run;
    if (spawned != 0) {
        run.exitCode = 127;
        run.err = "cannot start " + argv[0] + "\n";
    } else {
        const auto deadline = std::chrono::steady_clock::now() + options.timeLimit;
        auto pause = std::chrono::milliseconds(1);
        int status = 0;
        for (;;) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR)) break;
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
                run.timedOut = true;
                break;
            }
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    run.out = TakeFile(outPath);
    run.err += TakeFile(errPath);
    return run;
}

std::string BuiltTool(const std::string& relative) {
    return std::string(KESTRUN_PROGRAM_DIR) + "/" + relative;
}

}  // namespace kestrun::test
