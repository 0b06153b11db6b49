#pragma once
// Starting programs and waiting for them: the one place that forks and executes. Nothing here goes
// through a shell; standard input is always /dev/null.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrun::child {

// A stream given to the child: an open descriptor of ours, kNullStream for /dev/null, or
// kInheritStream for the same stream of this process.
inline constexpr int kNullStream = -1;
inline constexpr int kInheritStream = -2;

struct Streams {
    int out = kNullStream;
    int err = kNullStream;
};

struct StartOptions {
    Streams streams;
    // Tried for the child and left when not allowed.
    std::optional<int> niceValue;
    // argv[0] without a '/' is searched in PATH; otherwise it is taken as a path.
    bool searchPath = false;
    // A process group of its own (so that the whole tool can be signalled) that ends with ours.
    // Programs started by a program that is itself a tool stay in its group instead.
    bool ownGroup = true;
    // "NAME=value" entries put before the inherited environment.
    std::vector<std::string> extraEnvironment;
};

struct Started {
    int pid = -1;
    int error = 0;  // errno of the failed start
    bool Ok() const { return pid > 0; }
};

// Starts arguments[0] with the arguments, with only the three standard streams open. Returns once
// the program runs (or could not be started: a missing or non-executable program is reported at
// once, never as a child that exits later).
Started Start(const std::vector<std::string>& arguments, const StartOptions& options);
inline Started Start(const std::vector<std::string>& arguments, Streams streams,
                     std::optional<int> niceValue) {
    StartOptions options;
    options.streams = streams;
    options.niceValue = niceValue;
    return Start(arguments, options);
}

// Exit code of a child that ended normally, -1 for one ended by a signal.
int ExitCodeOf(int waitStatus);
// The shell's convention: the exit code, or 128 + signal for a child ended by one.
int ShellCodeOf(int waitStatus);

// Blocks until the child ends; returns its raw wait status (-1 when it cannot be waited for).
int WaitStatus(int pid);
// Blocks until the child ends; returns its exit code as ExitCodeOf gives it.
int WaitBlocking(int pid);

// Reaps the child when it has ended; an ended child's code goes to exitCode.
bool TryReap(int pid, int& exitCode);
// As TryReap, with the raw wait status.
bool TryReapStatus(int pid, int& waitStatus);

// Sleeps up to `timeout`, returning early when the child ends. Does not reap.
void WaitForEndOrTimeout(int pid, std::chrono::milliseconds timeout);

// Sends the signal to the child's whole process group.
void SignalGroup(int pid, int signal);

// What the programs of the tools and tests run: argv[0] searched in PATH when it holds no '/',
// no group of its own. Codes follow ShellCodeOf; 127 when the program could not be started.
inline constexpr int kNotStarted = 127;

// Runs and waits. Standard output and error are this process's own unless `quiet`, which sends
// them to /dev/null.
int RunProgram(const std::vector<std::string>& argv, bool quiet = false);
// Runs and returns its standard output; exitCode receives the code as RunProgram gives it.
std::string CaptureProgram(const std::vector<std::string>& argv, int* exitCode = nullptr);
// Runs with the child's standard output (childStream 1) or error (2) on a pipe, the other stream
// inherited, and hands everything that arrives to `take`; then waits.
int RunReading(const std::vector<std::string>& argv, int childStream,
               const std::function<void(const char*, size_t)>& take);

}  // namespace kestrun::child
