// aften/aften: AC-3 encoding of a WAV file, "aften [-b KBPS] IN.wav OUT.ac3" (options may also
// stand between the two files), done with FFmpeg's AC-3 encoder.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "common/conversion_main.h"
#include "common/legacy_options.h"

namespace {

// The bitrates (kbit/s) that an AC-3 frame can declare.
constexpr std::array<long long, 19> kAc3Bitrates = {
    32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};

struct EncodeRequest {
    std::string input;
    std::string output;
    std::string kbps;  // empty: the encoder's default for the channel count
};

bool IsValidBitrate(const std::string& text) {
    const auto value = standin::ParseWholeNumber(text);
    return value &&
           std::find(kAc3Bitrates.begin(), kAc3Bitrates.end(), *value) != kAc3Bitrates.end();
}

bool ParseArgs(const std::vector<std::string>& args, EncodeRequest* request, std::string* error) {
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (i + 1 == args.size()) {
            *error = "option " + arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "-b") {
            if (!IsValidBitrate(value)) {
                *error = "invalid AC-3 bitrate: " + value + " (32 to 640 kbit/s, A/52 steps)";
                return false;
            }
            request->kbps = value;
        } else if (arg != "-v" && arg != "-threads") {
            *error = "unsupported option: " + arg;
            return false;
        }
    }
    if (files.size() != 2) {
        *error = "usage: aften [-b KBPS] INPUT.wav OUTPUT.ac3";
        return false;
    }
    request->input = standin::ResolveLegacyInputPath(files[0]);
    request->output = standin::WindowsTrimmedPath(files[1]);
    return true;
}

std::vector<std::string> EncodeArgs(const EncodeRequest& request) {
    std::vector<std::string> args = {"-i", request.input, "-map", "0:a:0", "-c:a", "ac3"};
    if (!request.kbps.empty()) args.insert(args.end(), {"-b:a", request.kbps + "k"});
    args.insert(args.end(), {"-f", "ac3", request.output});
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    return standin::RunConversionMain("aften", argc, argv, ParseArgs, EncodeArgs, "AC-3 encoding");
}
