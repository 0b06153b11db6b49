// The stand-ins' readings of the command lines the legacy tools took: one argument per line of the
// input, handed to every stand-in's parser, and each piece to the shared option readers.
#include <stdexcept>

#include "besweet/besweet_options.h"
#include "common/legacy_options.h"
#include "ffmpeg/legacy_ffmpeg_args.h"
#include "fuzz_support.h"
#include "mencoder/encoder_options.h"
#include "mencoder/engines.h"
#include "mencoder/mencoder_call.h"
#include "mkvextract/legacy_extract_args.h"
#include "mkvmerge/legacy_merge_args.h"
#include "mp4box/mp4box_command_line.h"
#include "valdec/valdec_options.h"

namespace {

void EachPiece(const std::string& arg) {
    standin::WindowsTrimmedPath(arg);
    standin::ModernBitrate(arg);
    standin::ParseTrackTarget(arg);
    standin::ColonOptionValue(arg, "delay");
    standin::ParseWholeNumber(arg);
    standin::ParseDecimal(arg);
    standin::ParseEndposSize(arg);
    if (const auto fps = standin::ParseFrameRate(arg)) standin::NormalisedFrameRate(*fps);
    standin::ModernSplitValue(arg);
    try {
        standin::ParseAddedFile(arg);
    } catch (const std::invalid_argument&) {
    }
    const standin::OptionList options = standin::ParseOptionList(arg);
    standin::JoinOptionList(options);
    standin::ModernX264Options(options, standin::ParseWholeNumber(arg));
    standin::MencoderLavcOptions(options);
}

// The engines' command lines for an accepted MEncoder call, over a cropped film with picture
// subtitles on a taller canvas starting later than it.
void EachEngine(const standin::MencoderCall& call) {
    standin::MediaFacts facts;
    facts.width = 1920;
    facts.height = 800;
    facts.seconds = 60;
    standin::SubtitleFiles files{"/s/subtitle.sup", "/s/fonts", "Sans", 1250000, 1920, 1080};
    try {
        standin::MencoderArgs(call, facts, "/o");
        standin::FfmpegArgs(call, facts, files, "/o");
    } catch (const std::logic_error&) {
        // A number option the engines cannot read: the stand-in reports it.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> args = kestrun::fuzz::Arguments(data, size);
    for (const std::string& arg : args) EachPiece(arg);

    standin::TranslateLegacyFfmpegArgs(args);
    if (const auto call = standin::ParseMencoderArgs(args); call.error.empty()) EachEngine(call);
    try {
        standin::ParseMp4BoxCommand(args);
    } catch (const std::invalid_argument&) {
    }
    std::string error;
    standin::TempoRequest tempo;
    if (standin::ParseBeSweetArgs(args, &tempo, &error)) standin::FfmpegTempoArgs(tempo);
    standin::DecodeRequest decode;
    if (standin::ParseValdecArgs(args, &decode, &error)) standin::FfmpegDecodeArgs(decode);
    standin::LegacyExtractRequest extract;
    if (standin::ParseLegacyExtractArgs(args, &extract, &error)) {
        std::vector<long long> ids;
        for (const auto& target : extract.targets) ids.push_back(target.number - 1);
        standin::ModernExtractCommand(extract, ids);
    }
    standin::TranslateLegacyMergeArgs(
        args, [](const std::string&, long long number, std::string*) -> std::optional<long long> {
            if (number < 1) return std::nullopt;
            return number - 1;
        });
    return 0;
}
