#include "common/conversion_main.h"

#include "common/ffmpeg_runner.h"
#include "common/file_checks.h"

namespace standin {

int RunConversion(const std::string& tool, const std::string& input, const std::string& output,
                  const std::vector<std::string>& ffmpegArgs, const std::string& what) {
    if (const std::string problem = ConversionFileProblem(input, output); !problem.empty()) {
        Fail(tool, problem);
        return 1;
    }
    auto args = FfmpegCommandHead();
    args.insert(args.end(), ffmpegArgs.begin(), ffmpegArgs.end());
    return RunFfmpegForTool(tool, what, args, {output});
}

}  // namespace standin
