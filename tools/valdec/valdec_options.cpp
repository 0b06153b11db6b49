#include "valdec_options.h"

#include <algorithm>
#include <cstdio>

#include "common/legacy_options.h"

namespace standin {
namespace {

// -spk:N: 1 mono, 2 stereo 2/0, 3 front 3/0, 4 quadro 2/2, 5 3/2, 6 3/2 with LFE.
constexpr const char* kSpeakerLayouts[] = {"", "mono", "stereo", "3.0", "quad", "5.0", "5.1"};

struct SampleFormat {
    int code;
    const char* encoder;
};
// -fmt:N as far as WAV can hold it: 0 16-bit, 1 24-bit, 2 32-bit integer, 6 32-bit float.
constexpr SampleFormat kSampleFormats[] = {
    {0, "pcm_s16le"}, {1, "pcm_s24le"}, {2, "pcm_s32le"}, {6, "pcm_f32le"}};

const char* EncoderFor(int sampleFormat) {
    for (const auto& format : kSampleFormats) {
        if (format.code == sampleFormat) return format.encoder;
    }
    return nullptr;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool ReadColonOption(const std::string& arg, DecodeRequest* request, std::string* error) {
    if (auto value = ColonOptionValue(arg, "-spk")) {
        const auto n = ParseWholeNumber(*value);
        if (!n || *n < 0 || *n > 6) {
            *error = "unsupported speaker layout " + arg + " (-spk:0 to -spk:6)";
            return false;
        }
        request->speakers = static_cast<int>(*n);
        return true;
    }
    if (auto value = ColonOptionValue(arg, "-fmt")) {
        const auto n = ParseWholeNumber(*value);
        if (!n || EncoderFor(static_cast<int>(*n)) == nullptr) {
            *error = "unsupported sample format " + arg + " (WAV output: -fmt:0, 1, 2 or 6)";
            return false;
        }
        request->sampleFormat = static_cast<int>(*n);
        return true;
    }
    const auto gain = ColonOptionValue(arg, "-gain");
    const bool isGain = gain.has_value();
    const auto value = isGain ? gain : ColonOptionValue(arg, "-drc_power");
    if (!value) {
        *error = "unsupported option: " + arg;
        return false;
    }
    const auto db = ParseDecimal(*value);
    if (!db) {
        *error = "not a number of decibels: " + arg;
        return false;
    }
    if (isGain) {
        request->gainDb = *db;
    } else {
        request->drcPowerDb = std::clamp(*db, 0.0, 50.0);
        request->drc = true;
    }
    return true;
}

bool ReadOption(const std::vector<std::string>& args, size_t* i, DecodeRequest* request,
                std::string* error) {
    const std::string& arg = args[*i];
    if (arg == "-w" || arg == "-wav") {
        if (*i + 1 == args.size()) {
            *error = "option " + arg + " needs a file name";
            return false;
        }
        request->output = WindowsTrimmedPath(args[++*i]);
    } else if (arg == "-ac3" || arg == "-dts" || arg == "-mpa") {
        request->inputFormat = arg == "-mpa" ? "mp3" : arg.substr(1);
    } else if (arg == "-drc+" || arg == "-drc-") {
        request->drc = arg.back() == '+';
    } else if (arg == "-agc+" || arg == "-agc-") {
        // Overload protection stays on whenever the level is raised (see FfmpegDecodeArgs).
    } else {
        return ReadColonOption(arg, request, error);
    }
    return true;
}

std::string FilterChain(const DecodeRequest& request) {
    std::vector<std::string> filters;
    if (request.drc) {
        // Boosts quiet passages by up to the DRC power at -50 dBFS and leaves full scale alone.
        filters.push_back("compand=attacks=0.01:decays=0.2:points=-100/-100|-50/" +
                          Number(-50.0 + request.drcPowerDb) + "|0/0");
    }
    if (request.gainDb != 0.0) filters.push_back("volume=" + Number(request.gainDb) + "dB");
    if (request.drc || request.gainDb > 0.0)
        filters.push_back("alimiter=limit=0.98:level=false:latency=true");
    if (request.speakers != 0)
        filters.push_back(std::string("aformat=channel_layouts=") +
                          kSpeakerLayouts[request.speakers]);
    std::string chain;
    for (const auto& filter : filters) chain += (chain.empty() ? "" : ",") + filter;
    return chain;
}

}  // namespace

bool ParseValdecArgs(const std::vector<std::string>& args, DecodeRequest* request,
                     std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-') {
            if (!ReadOption(args, &i, request, error)) return false;
        } else if (request->input.empty()) {
            request->input = ResolveLegacyInputPath(args[i]);
        } else {
            *error = "more than one input file: " + args[i];
            return false;
        }
    }
    if (request->input.empty()) {
        *error = "usage: valdec INPUT -wav OUTPUT.wav [-spk:N] [-fmt:N] [-gain:dB] [-drc+]";
        return false;
    }
    if (request->output.empty()) {
        *error = "no WAV output given (-wav FILE); playing through the sound card is not supported";
        return false;
    }
    return true;
}

std::vector<std::string> FfmpegDecodeArgs(const DecodeRequest& request) {
    std::vector<std::string> args;
    if (!request.inputFormat.empty()) args.insert(args.end(), {"-f", request.inputFormat});
    args.insert(args.end(), {"-i", request.input, "-map", "0:a:0"});
    if (const std::string chain = FilterChain(request); !chain.empty())
        args.insert(args.end(), {"-af", chain});
    // Above 4 GiB a WAV header cannot hold the size; the file then becomes RF64.
    args.insert(args.end(), {"-c:a", EncoderFor(request.sampleFormat), "-rf64", "auto", "-f", "wav",
                             request.output});
    return args;
}

}  // namespace standin
