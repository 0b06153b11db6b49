#pragma once
// Running a program as the tests do: an argument vector started without a shell (argv[0] is
// searched in PATH when it holds no '/'), standard input from /dev/null, standard output and
// standard error captured, killed when it outlives its time limit.
#include <chrono>
#include <string>
#include <vector>

namespace kestrun::test {

struct ProgramRun {
    int exitCode = -1;  // 128 + signal when it was killed, 127 when it could not start
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::vector<std::string> extraEnvironment;  // "NAME=value" entries put before the inherited
    std::chrono::seconds timeLimit{600};
};

ProgramRun RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// A program of the built program folder, e.g. BuiltTool("MKVToolnix/mkvinfo").
std::string BuiltTool(const std::string& relative);

}  // namespace kestrun::test
