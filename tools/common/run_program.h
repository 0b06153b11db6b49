#pragma once
// Starting real programs from the stand-ins: an argument vector, no shell, standard input from
// /dev/null, argv[0] searched in PATH when it has no '/'.
#include "base/child_process.h"

namespace standin {

using kestrun::child::CaptureProgram;
using kestrun::child::RunProgram;

// Runs with its standard output on this process's own and hands everything it writes on standard
// error to `onErrorOutput` as it arrives. Returns the code as RunProgram gives it.
inline int RunProgramReadingErrors(const std::vector<std::string>& argv,
                                   const std::function<void(const char*, size_t)>& onErrorOutput) {
    return kestrun::child::RunReading(argv, 2, onErrorOutput);
}

}  // namespace standin
