#include "base/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace kestrun::child {
namespace {

// Everything the child needs, prepared before fork: after it only plain system calls run.
struct ChildSetup {
    std::vector<char*> argv;
    std::vector<char*> envp;  // empty: the inherited environment
    bool searchPath = false;
    bool ownGroup = true;
    int streams[3] = {-1, -1, -1};  // what becomes standard input, output, error
    int reportFd = -1;              // write end of the exec-failure pipe (close-on-exec)
    std::optional<int> niceValue;
    pid_t parent = 0;
};

[[noreturn]] void FailInChild(int reportFd) {
    int error = errno;
    ssize_t ignored = write(reportFd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

void ResetSignals() {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) sigaction(signal, &defaultAction, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] void RunChild(const ChildSetup& setup) {
    if (setup.ownGroup) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != setup.parent) _exit(127);  // our process is already gone
    }

    // Lift the three sources above the standard numbers first, so that one source sitting on
    // 0, 1 or 2 is not overwritten before it is moved.
    int lifted[3];
    for (int i = 0; i < 3; ++i) {
        if (setup.streams[i] == kInheritStream) {
            lifted[i] = i;
            continue;
        }
        lifted[i] = fcntl(setup.streams[i], F_DUPFD_CLOEXEC, 3);
        if (lifted[i] < 0) FailInChild(setup.reportFd);
    }
    for (int i = 0; i < 3; ++i) {
        if (lifted[i] != i && dup2(lifted[i], i) < 0) FailInChild(setup.reportFd);
    }
    // The tool gets no other descriptor of ours (a pipe end it kept would hold a capture open).
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

    ResetSignals();
    if (setup.niceValue) setpriority(PRIO_PROCESS, 0, *setup.niceValue);
    char** envp = setup.envp.empty() ? environ : const_cast<char**>(setup.envp.data());
    if (setup.searchPath)
        execvpe(setup.argv[0], setup.argv.data(), envp);
    else
        execve(setup.argv[0], setup.argv.data(), envp);
    FailInChild(setup.reportFd);
}

int ReadChildError(int reportFd) {
    int error = 0;
    ssize_t n;
    do {
        n = read(reportFd, &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace

Started Start(const std::vector<std::string>& arguments, const StartOptions& options) {
    if (arguments.empty() || arguments[0].empty()) return {-1, ENOENT};
    const Streams streams = options.streams;

    ChildSetup setup;
    for (const auto& argument : arguments) {
        setup.argv.push_back(const_cast<char*>(argument.c_str()));
    }
    setup.argv.push_back(nullptr);
    if (!options.extraEnvironment.empty()) {
        for (const auto& entry : options.extraEnvironment)
            setup.envp.push_back(const_cast<char*>(entry.c_str()));
        for (char** entry = environ; *entry; ++entry) setup.envp.push_back(*entry);
        setup.envp.push_back(nullptr);
    }
    setup.searchPath = options.searchPath;
    setup.ownGroup = options.ownGroup;
    setup.niceValue = options.niceValue;
    setup.parent = getpid();

    int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) return {-1, errno};
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        int error = errno;
        close(devNull);
        return {-1, error};
    }
    setup.streams[0] = devNull;
    setup.streams[1] = streams.out == kNullStream ? devNull : streams.out;
    setup.streams[2] = streams.err == kNullStream ? devNull : streams.err;
    setup.reportFd = report[1];

    pid_t pid = fork();
    if (pid == 0) RunChild(setup);
    int forkError = errno;
    close(report[1]);
    close(devNull);
    if (pid < 0) {
        close(report[0]);
        return {-1, forkError};
    }
    int childError = ReadChildError(report[0]);  // returns when exec succeeded or failed
    close(report[0]);
    if (childError != 0) {
        WaitBlocking(pid);
        return {-1, childError};
    }
    return {pid, 0};
}

int ExitCodeOf(int waitStatus) { return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

int ShellCodeOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return kNotStarted;
}

int WaitStatus(int pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

int WaitBlocking(int pid) {
    const int status = WaitStatus(pid);
    return status == -1 ? -1 : ExitCodeOf(status);
}

bool TryReapStatus(int pid, int& waitStatus) {
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return false;
    waitStatus = result == pid ? status : -1;  // -1 also when it is not ours to reap
    return true;
}

bool TryReap(int pid, int& exitCode) {
    int status = 0;
    if (!TryReapStatus(pid, status)) return false;
    exitCode = status == -1 ? -1 : ExitCodeOf(status);
    return true;
}

void WaitForEndOrTimeout(int pid, std::chrono::milliseconds timeout) {
    int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0) {
        std::this_thread::sleep_for(timeout);
        return;
    }
    pollfd watch{pidFd, POLLIN, 0};
    poll(&watch, 1, static_cast<int>(timeout.count()));
    close(pidFd);
}

void SignalGroup(int pid, int signal) {
    if (pid > 0) kill(-pid, signal);
}

namespace {

StartOptions ProgramOptions(Streams streams) {
    StartOptions options;
    options.streams = streams;
    options.searchPath = true;
    options.ownGroup = false;
    return options;
}

int WaitShellCode(int pid) {
    const int status = WaitStatus(pid);
    return status == -1 ? kNotStarted : ShellCodeOf(status);
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, bool quiet) {
    const int stream = quiet ? kNullStream : kInheritStream;
    const Started started = Start(argv, ProgramOptions({stream, stream}));
    return started.Ok() ? WaitShellCode(started.pid) : kNotStarted;
}

int RunReading(const std::vector<std::string>& argv, int childStream,
               const std::function<void(const char*, size_t)>& take) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return kNotStarted;
    Streams streams{kInheritStream, kInheritStream};
    (childStream == 1 ? streams.out : streams.err) = fds[1];
    const Started started = Start(argv, ProgramOptions(streams));
    close(fds[1]);
    if (!started.Ok()) {
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
    return WaitShellCode(started.pid);
}

std::string CaptureProgram(const std::vector<std::string>& argv, int* exitCode) {
    std::string out;
    const int code =
        RunReading(argv, 1, [&out](const char* data, size_t size) { out.append(data, size); });
    if (exitCode) *exitCode = code;
    return out;
}

}  // namespace kestrun::child
