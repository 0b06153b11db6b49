#pragma once
// Running Debian's FFmpeg on behalf of a stand-in: fixed safety options, and no half-written
// output left behind when the run fails.
#include <string>
#include <vector>

namespace standin {

inline constexpr const char* kFfmpegProgram = "/usr/bin/ffmpeg";

// The start of every FFmpeg command line: the program, no reading of standard input, overwrite
// without asking, and a console that shows errors only.
std::vector<std::string> FfmpegCommandHead();

// Runs FFmpeg with `args` (a full argument vector, program first). On success returns 0. On
// failure prints "<tool>: <what> failed ..." on standard error, removes the outputs the run wrote
// and returns 1.
int RunFfmpegForTool(const std::string& tool, const std::string& what,
                     const std::vector<std::string>& args, const std::vector<std::string>& outputs);

}  // namespace standin
