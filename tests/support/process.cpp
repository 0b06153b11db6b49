#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "base/child_process.h"
#include "support/temp_folder.h"

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
    const std::string outPath = CaptureFile();
    const std::string errPath = CaptureFile();
    const int outFd = open(outPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    const int errFd = open(errPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    child::StartOptions start;
    start.streams = {outFd, errFd};
    start.searchPath = true;
    start.ownGroup = false;
    start.extraEnvironment = options.extraEnvironment;
    const child::Started started = child::Start(argv, start);
    close(outFd);
    close(errFd);

    ProgramRun run;
    if (!started.Ok()) {
        run.exitCode = child::kNotStarted;
        run.err = "cannot start " + (argv.empty() ? std::string() : argv[0]) + "\n";
    } else {
        const auto deadline = std::chrono::steady_clock::now() + options.timeLimit;
        auto pause = std::chrono::milliseconds(1);
        int status = 0;
        while (!child::TryReapStatus(started.pid, status)) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(started.pid, SIGKILL);
                status = child::WaitStatus(started.pid);
                run.timedOut = true;
                break;
            }
            child::WaitForEndOrTimeout(started.pid, pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
        run.exitCode = child::ShellCodeOf(status);
    }
    run.out = TakeFile(outPath);
    run.err += TakeFile(errPath);
    return run;
}

std::string BuiltTool(const std::string& relative) {
    return std::string(KESTRUN_PROGRAM_DIR) + "/" + relative;
}

}  // namespace kestrun::test
