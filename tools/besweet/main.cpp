// besweet/BeSweet: the WAV to WAV conversion of the 25-frames stage, "BeSweet -core( -input IN
// -2ch -output OUT ) -ota( -r FROM TO )": a tempo change with the pitch kept, and an optional
// stereo downmix, done with FFmpeg's filters.
#include <string>
#include <vector>

#include "besweet_options.h"
#include "common/ffmpeg_runner.h"
#include "common/run_program.h"

namespace {

constexpr const char* kTool = "BeSweet";

std::string FileProblem(const standin::TempoRequest& request) {
    return standin::ConversionFileProblem(request.input, request.output);
}

}  // namespace

int main(int argc, char** argv) {
    standin::TempoRequest request;
    std::string error;
    if (!standin::ParseBeSweetArgs({argv + 1, argv + argc}, &request, &error) ||
        !(error = FileProblem(request)).empty()) {
        standin::Fail(kTool, error);
        return 1;
    }
    auto args = standin::FfmpegCommandHead();
    const auto tempo = standin::FfmpegTempoArgs(request);
    args.insert(args.end(), tempo.begin(), tempo.end());
    return standin::RunFfmpegForTool(kTool, "conversion of " + request.input, args,
                                     {request.output});
}
