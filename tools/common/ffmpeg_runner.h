#pragma once
// Running Debian's FFmpeg on behalf of a stand-in: fixed safety options, checks of the files before
// anything runs, and no half-written output left behind when the run fails.
#include <string>
#include <vector>

namespace standin {

inline constexpr const char* kFfmpegProgram = "/usr/bin/ffmpeg";

// The start of every FFmpeg command line: the program, no reading of standard input, overwrite
// without asking, and a console that shows errors only.
std::vector<std::string> FfmpegCommandHead();

// Empty when `path` names a non-empty regular file that can be read; otherwise a message that
// names the path ("input file does not exist: ...", "input file is empty: ...").
std::string InputFileProblem(const std::string& path);

// Empty when the folder that would hold `path` exists; otherwise a message naming it.
std::string OutputFolderProblem(const std::string& path);

// True when both paths name the same existing file (through links or different spellings).
bool IsSameFile(const std::string& a, const std::string& b);

// The checks of a one-input, one-output conversion: a readable input, an existing output folder,
// and an output that is not the input itself. Empty when all hold; otherwise the first problem.
std::string ConversionFileProblem(const std::string& input, const std::string& output);

// Remembers which output files existed, and how they looked, before a tool ran, so that after a
// failed run exactly the files that run created or changed can be removed. Only regular files are
// ever removed (an output such as /dev/null is left alone).
class OutputGuard {
public:
    explicit OutputGuard(std::vector<std::string> outputs);
    // Removes every output that the run created or rewrote.
    void RemoveWrittenOutputs() const;

private:
    struct Before {
        std::string path;
        bool existed = false;
        long long size = 0;
        long long modifiedNs = 0;
        unsigned long long inode = 0;
    };
    std::vector<Before> before_;
};

// Runs FFmpeg with `args` (a full argument vector, program first). On success returns 0. On
// failure prints "<tool>: <what> failed ..." on standard error, removes the outputs the run wrote
// and returns 1.
int RunFfmpegForTool(const std::string& tool, const std::string& what,
                     const std::vector<std::string>& args, const std::vector<std::string>& outputs);

}  // namespace standin
