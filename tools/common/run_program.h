#pragma once
// Starting real programs from the stand-ins: an argument vector, no shell, standard input from
// /dev/null.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace standin {

// Runs argv[0] (searched in PATH when it has no '/') and waits. Returns the exit code, 127 when the
// program could not be started, 128 + signal when it was killed. Standard output and error go to
// this process's own unless `quiet`, which sends them to /dev/null.
int RunProgram(const std::vector<std::string>& argv, bool quiet = false);

// Runs and returns its standard output; exitCode receives the code as RunProgram gives it.
std::string CaptureProgram(const std::vector<std::string>& argv, int* exitCode = nullptr);

// Runs with its standard output on this process's own and hands everything it writes on standard
// error to `onErrorOutput` as it arrives. Returns the code as RunProgram gives it.
int RunProgramReadingErrors(const std::vector<std::string>& argv,
                            const std::function<void(const char*, size_t)>& onErrorOutput);

}  // namespace standin
