// ac3filter/valdec: decodes AC-3, DTS or MPEG audio to a WAV file, "valdec INPUT -wav OUT.wav
// [-spk:N] [-fmt:N] [-drc+] [-gain:dB] [-drc_power:dB]", done with FFmpeg's decoders and filters.
#include <string>
#include <vector>

#include "common/ffmpeg_runner.h"
#include "common/run_program.h"
#include "valdec_options.h"

namespace {

constexpr const char* kTool = "valdec";

std::string FileProblem(const standin::DecodeRequest& request) {
    return standin::ConversionFileProblem(request.input, request.output);
}

}  // namespace

int main(int argc, char** argv) {
    standin::DecodeRequest request;
    std::string error;
    if (!standin::ParseValdecArgs({argv + 1, argv + argc}, &request, &error) ||
        !(error = FileProblem(request)).empty()) {
        standin::Fail(kTool, error);
        return 1;
    }
    auto args = standin::FfmpegCommandHead();
    const auto decode = standin::FfmpegDecodeArgs(request);
    args.insert(args.end(), decode.begin(), decode.end());
    return standin::RunFfmpegForTool(kTool, "decoding of " + request.input, args, {request.output});
}
