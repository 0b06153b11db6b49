// FFMpeg/FFmpeg: accepts the 2008 FFmpeg command lines of the conversion chains and runs
// Debian's FFmpeg 5.1 with today's spelling of the same options.
#include <string>
#include <vector>

#include "common/fail.h"
#include "common/ffmpeg_runner.h"
#include "common/file_checks.h"
#include "legacy_ffmpeg_args.h"

namespace {

constexpr const char* kTool = "FFmpeg";

// A message for the first input or output that cannot work, or empty.
std::string FileProblem(const standin::FfmpegInvocation& call) {
    for (const auto& input : call.inputs) {
        if (auto problem = standin::InputFileProblem(input); !problem.empty()) return problem;
    }
    for (const auto& output : call.outputs) {
        if (auto problem = standin::OutputFolderProblem(output); !problem.empty()) return problem;
        for (const auto& input : call.inputs) {
            if (standin::IsSameFile(input, output))
                return "output would overwrite its own input: " + output;
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> legacy(argv + 1, argv + argc);
    const auto call = standin::TranslateLegacyFfmpegArgs(legacy);
    if (call.outputs.empty()) {
        standin::Fail(kTool, "no output file given");
        return 1;
    }
    if (const auto problem = FileProblem(call); !problem.empty()) {
        standin::Fail(kTool, problem);
        return 1;
    }
    auto args = standin::FfmpegCommandHead();
    args.insert(args.end(), call.args.begin(), call.args.end());
    return standin::RunFfmpegForTool(kTool, "conversion to " + call.outputs.back(), args,
                                     call.outputs);
}
