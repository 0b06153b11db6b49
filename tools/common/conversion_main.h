#pragma once
// The whole program of a stand-in that turns one file into another with one FFmpeg run (aften,
// valdec, BeSweet): its own command line read into a request, the files checked, FFmpeg run.
#include <string>
#include <vector>

#include "common/fail.h"

namespace standin {

// Checks that `input` can be read and `output` written without touching the input, then runs
// FFmpeg with FfmpegCommandHead() and `ffmpegArgs`. A problem with the files gives
// "<tool>: <message>" on standard error and 1 before anything runs; otherwise the code of
// RunFfmpegForTool, whose failure message names `what`.
int RunConversion(const std::string& tool, const std::string& input, const std::string& output,
                  const std::vector<std::string>& ffmpegArgs, const std::string& what);

// `parse` reads the arguments (without the program name) into a request with `input` and
// `output`, or returns false with a message for the user; `ffmpegArgs` gives what follows the
// command head. A bad command line exits with 1; `work` names the run in failure messages
// ("decoding" gives "decoding of IN failed ...").
template <typename Request>
int RunConversionMain(const std::string& tool, int argc, char** argv,
                      bool (*parse)(const std::vector<std::string>&, Request*, std::string*),
                      std::vector<std::string> (*ffmpegArgs)(const Request&),
                      const std::string& work) {
    Request request;
    std::string error;
    if (!parse({argv + 1, argv + argc}, &request, &error)) {
        Fail(tool, error);
        return 1;
    }
    return RunConversion(tool, request.input, request.output, ffmpegArgs(request),
                         work + " of " + request.input);
}

}  // namespace standin
