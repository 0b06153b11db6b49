#include "legacy_ffmpeg_args.h"

#include <string_view>

#include "common/legacy_options.h"

namespace standin {
namespace {

// Options of FFmpeg (then and now) that take no value; every other option takes exactly one.
constexpr std::string_view kFlagOptions[] = {"-y",
                                             "-n",
                                             "-nostdin",
                                             "-stdin",
                                             "-hide_banner",
                                             "-an",
                                             "-vn",
                                             "-sn",
                                             "-dn",
                                             "-copyts",
                                             "-start_at_zero",
                                             "-shortest",
                                             "-re",
                                             "-stats",
                                             "-nostats",
                                             "-benchmark",
                                             "-benchmark_all",
                                             "-xerror",
                                             "-sameq",
                                             "-deinterlace",
                                             "-intra",
                                             "-psnr",
                                             "-vstats",
                                             "-newaudio",
                                             "-newvideo",
                                             "-newsubtitle",
                                             "-accurate_seek",
                                             "-noaccurate_seek",
                                             "-ignore_unknown",
                                             "-debug_ts"};

// Options whose value is a bitrate that may carry the old "kb" suffix.
constexpr std::string_view kBitrateOptions[] = {
    "-b:a", "-b:v", "-ba", "-bv", "-maxrate", "-minrate", "-bufsize", "-b:a:0", "-b:v:0"};

bool IsFlagOption(const std::string& arg) { return IsOneOf(kFlagOptions, arg); }

bool IsBitrateOption(const std::string& arg) { return IsOneOf(kBitrateOptions, arg); }

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

std::string ModernAudioEncoder(const std::string& name) {
    if (name == "libfaac" || name == "faac") return "aac";
    return name;
}

std::string ModernVideoEncoder(const std::string& name) {
    if (name == "xvid") return "libxvid";
    if (name == "x264") return "libx264";
    return name;
}

std::string ModernInputFormat(const std::string& name) {
    if (name == "mp2" || name == "mpa") return "mp3";
    return name;
}

// True when the "-f" at `index` describes an input: an "-i" comes before the next output name.
bool FormatAppliesToInput(const std::vector<std::string>& legacy, size_t index) {
    for (size_t i = index + 2; i < legacy.size(); ++i) {
        const std::string& arg = legacy[i];
        if (arg == "-i") return true;
        if (!IsOption(arg)) return false;
        if (!IsFlagOption(arg)) ++i;
    }
    return false;
}

// An input that names a file (not a device, filter source or network address).
bool NamesLocalFile(const std::string& input, const std::string& format) {
    if (format == "lavfi" || input == "-") return false;
    if (input.find("://") != std::string::npos) return false;
    return input.rfind("pipe:", 0) != 0;
}

}  // namespace

FfmpegInvocation TranslateLegacyFfmpegArgs(const std::vector<std::string>& legacy) {
    FfmpegInvocation result;
    auto& out = result.args;
    std::string pendingInputFormat;
    for (size_t i = 0; i < legacy.size(); ++i) {
        const std::string& arg = legacy[i];
        if (!IsOption(arg)) {
            const std::string path = WindowsTrimmedPath(arg);
            result.outputs.push_back(path);
            out.push_back(path);
            continue;
        }
        if (arg == "-y" || arg == "-nostdin") continue;
        if (IsFlagOption(arg) || i + 1 == legacy.size()) {
            out.push_back(arg);
            continue;
        }
        const std::string& value = legacy[++i];
        if (arg == "-bug") continue;
        if (arg == "-acodec") {
            const std::string encoder = ModernAudioEncoder(value);
            out.insert(out.end(), {"-c:a", encoder});
            // The old AAC encoder was a fast single-pass one; FFmpeg's "fast" coder is its match
            // at the same bitrate and takes half the time of the default two-loop search.
            if (encoder == "aac" && value != "aac") out.insert(out.end(), {"-aac_coder", "fast"});
        } else if (arg == "-vcodec") {
            out.insert(out.end(), {"-c:v", ModernVideoEncoder(value)});
        } else if (arg == "-scodec") {
            out.insert(out.end(), {"-c:s", value});
        } else if (arg == "-ab") {
            out.insert(out.end(), {"-b:a", ModernBitrate(value)});
        } else if (arg == "-b") {
            out.insert(out.end(), {"-b:v", ModernBitrate(value)});
        } else if (IsBitrateOption(arg)) {
            out.insert(out.end(), {arg, ModernBitrate(value)});
        } else if (arg == "-f" && FormatAppliesToInput(legacy, i - 1)) {
            pendingInputFormat = ModernInputFormat(value);
            out.insert(out.end(), {arg, pendingInputFormat});
        } else if (arg == "-i") {
            const bool isFile = NamesLocalFile(value, pendingInputFormat);
            const std::string path = isFile ? ResolveLegacyInputPath(value) : value;
            if (isFile) result.inputs.push_back(path);
            out.insert(out.end(), {arg, path});
            pendingInputFormat.clear();
        } else {
            out.insert(out.end(), {arg, value});
        }
    }
    return result;
}

}  // namespace standin
