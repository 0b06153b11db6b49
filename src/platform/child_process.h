#pragma once
// Starting one program and waiting for it: the process calls under ToolRunner. Nothing here goes
// through a shell; the program is argument 0 taken as a path.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kestrun::child {

// A stream given to the child: an open descriptor of ours, or kNullStream for /dev/null.
inline constexpr int kNullStream = -1;

struct Streams {
    int out = kNullStream;
    int err = kNullStream;
};

struct Started {
    int pid = -1;
    int error = 0;  // errno of the failed start
    bool Ok() const { return pid > 0; }
};

// Starts arguments[0] with the arguments, standard input from /dev/null, in a process group of
// its own, with only the three standard streams open. niceValue, when given, is tried for the
// child and left when not allowed. Returns once the program runs (or could not be started: a
// missing or non-executable program is reported at once, never as a child that exits later).
Started Start(const std::vector<std::string>& arguments, Streams streams,
              std::optional<int> niceValue);

// Exit code of a child that ended normally, -1 for one ended by a signal.
int ExitCodeOf(int waitStatus);

// Blocks until the child ends; returns its exit code as ExitCodeOf gives it.
int WaitBlocking(int pid);

// Reaps the child when it has ended; an ended child's code goes to exitCode.
bool TryReap(int pid, int& exitCode);

// Sleeps up to `timeout`, returning early when the child ends. Does not reap.
void WaitForEndOrTimeout(int pid, std::chrono::milliseconds timeout);

// Sends the signal to the child's whole process group.
void SignalGroup(int pid, int signal);

}  // namespace kestrun::child
