// Debian's MEncoder with the legacy strings it rejects translated.
#include <climits>
#include <cmath>

#include "engines.h"

namespace standin {
namespace {

constexpr const char* kMencoderProgram = "/usr/bin/mencoder";

// Kbit/s the separate sound of a re-encode may take (AC-3 at its highest rate).
constexpr long long kSeparateAudioKbit = 640;

// "scale=1280:533.333333333333": whole, even sizes, as the encoders need them.
std::string EvenSize(const std::string& text) {
    const auto value = static_cast<long long>(std::stod(text));
    return std::to_string(value > 0 ? value - value % 2 : value);
}

}  // namespace

Engine EngineFor(const MencoderCall& call) {
    if (call.subtitles) return Engine::Ffmpeg;
    // Without its sound, MEncoder would only relabel the frames: FFmpeg makes the rate.
    if (call.videoCodec != "copy" && !call.outputFps.empty() && !KeepsEveryFrame(call))
        return Engine::Ffmpeg;
    if (call.format == "mpeg" && (call.videoCodec == "copy" || call.endBytes))
        return Engine::Ffmpeg;
    if (call.videoCodec == "xvid" && call.audioCodec == "copy" && !call.noSound)
        return Engine::Ffmpeg;
    return Engine::Mencoder;
}

std::optional<long long> VideoKbit(const MencoderCall& call, const MediaFacts& facts) {
    const OptionList& list = call.videoCodec == "x264" ? call.x264 : call.xvid;
    const EncoderOption* bitrate = FindOption(list, "bitrate");
    if (!bitrate || !bitrate->value) return std::nullopt;
    const long long value = std::stoll(*bitrate->value);
    if (value >= 0) return call.videoCodec == "xvid" && value > 16000 ? value / 1000 : value;
    const long long sizeKiB = value == LLONG_MIN ? LLONG_MAX : -value;
    if (call.videoCodec == "x264")
        return RateForTargetSize(sizeKiB, facts.seconds, kSeparateAudioKbit, 300, 50000);
    const long long audio = call.noSound ? kSeparateAudioKbit : facts.audioKbit;
    return RateForTargetSize(sizeKiB, facts.seconds, audio, 100, 16000);
}

std::vector<std::string> MencoderArgs(const MencoderCall& call, const MediaFacts& facts,
                                      const std::string& target) {
    std::vector<std::string> args = {kMencoderProgram, call.input, "-o",           target, "-of",
                                     call.format,      "-ovc",     call.videoCodec};
    const auto kbit = VideoKbit(call, facts);
    if (call.videoCodec == "x264")
        args.insert(args.end(),
                    {"-x264encopts", JoinOptionList(ModernX264Options(call.x264, kbit))});
    if (call.videoCodec == "lavc")
        args.insert(args.end(), {"-lavcopts", JoinOptionList(MencoderLavcOptions(call.lavc))});
    if (call.videoCodec == "xvid") {
        OptionList xvid = call.xvid;
        for (auto& option : xvid)
            if (option.name == "bitrate" && kbit) option.value = std::to_string(*kbit);
        args.insert(args.end(), {"-xvidencopts", JoinOptionList(xvid)});
    }
    if (call.noSound) {
        args.push_back("-nosound");
    } else if (!call.audioCodec.empty()) {
        args.insert(args.end(), {"-oac", call.audioCodec});
        if (!call.lame.empty()) args.insert(args.end(), {"-lameopts", JoinOptionList(call.lame)});
    }
    if (!call.outputFps.empty()) args.insert(args.end(), {"-ofps", call.outputFps});
    std::string chain = "harddup";
    for (const auto& filter : call.filters) {
        const bool scale = filter.name == "scale";
        chain += "," + filter.name + "=" + (scale ? EvenSize(filter.args[0]) : filter.args[0]) +
                 ":" + (scale ? EvenSize(filter.args[1]) : filter.args[1]);
    }
    if (call.videoCodec != "copy") args.insert(args.end(), {"-vf", chain});
    if (call.endBytes) args.insert(args.end(), {"-endpos", std::to_string(*call.endBytes) + "b"});
    if (!call.audioFile.empty()) args.insert(args.end(), {"-audiofile", call.audioFile});
    if (!call.aspect.empty()) args.insert(args.end(), {"-aspect", call.aspect});
    // Calls with subtitles go to FFmpeg; left to itself MEncoder would draw the source's
    // default subtitle track, or a subtitle file named like the source, into the picture.
    args.insert(args.end(), {"-nosub", "-noautosub"});
    args.insert(args.end(), call.passThrough.begin(), call.passThrough.end());
    return args;
}

}  // namespace standin
