#include "mencoder_call.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string_view>

extern "C" {
#include <libavutil/rational.h>
}

namespace standin {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// Far above any film's rate; what is above is no frame rate.
constexpr double kMaxFrameRate = 1000;

std::optional<double> Number(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> ParseWhole(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0' ? std::optional<long long>(value) : std::nullopt;
}

std::string ParseFilters(const std::string& chain, std::vector<VideoFilter>* filters) {
    for (const std::string& item : Split(chain, ',')) {
        const size_t eq = item.find('=');
        VideoFilter filter{item.substr(0, eq), {}};
        if (eq != std::string::npos) filter.args = Split(item.substr(eq + 1), ':');
        if (filter.name == "harddup" && filter.args.empty()) {
            // Duplicates are never dropped here, so there is nothing to make hard.
            continue;
        }
        if ((filter.name == "expand" || filter.name == "scale") && filter.args.size() == 2 &&
            Number(filter.args[0]) && Number(filter.args[1])) {
            filters->push_back(filter);
            continue;
        }
        return "video filter not supported: " + item;
    }
    return {};
}

// Options followed by one value, and where the value goes.
using Setter = void (*)(MencoderCall&, SubtitleRequest&, const std::string&);
const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"-o", [](MencoderCall& c, SubtitleRequest&, const std::string& v) { c.output = v; }},
        {"-of", [](MencoderCall& c, SubtitleRequest&, const std::string& v) { c.format = v; }},
        {"-ovc", [](MencoderCall& c, SubtitleRequest&, const std::string& v) { c.videoCodec = v; }},
        {"-oac", [](MencoderCall& c, SubtitleRequest&, const std::string& v) { c.audioCodec = v; }},
        {"-x264encopts", [](MencoderCall& c, SubtitleRequest&,
                            const std::string& v) { c.x264 = ParseOptionList(v); }},
        {"-lavcopts", [](MencoderCall& c, SubtitleRequest&,
                         const std::string& v) { c.lavc = ParseOptionList(v); }},
        {"-xvidencopts", [](MencoderCall& c, SubtitleRequest&,
                            const std::string& v) { c.xvid = ParseOptionList(v); }},
        {"-lameopts", [](MencoderCall& c, SubtitleRequest&,
                         const std::string& v) { c.lame = ParseOptionList(v); }},
        {"-ofps", [](MencoderCall& c, SubtitleRequest&, const std::string& v) { c.outputFps = v; }},
        {"-audiofile",
         [](MencoderCall& c, SubtitleRequest&, const std::string& v) { c.audioFile = v; }},
        {"-aspect", [](MencoderCall& c, SubtitleRequest&, const std::string& v) { c.aspect = v; }},
        {"-sub", [](MencoderCall&, SubtitleRequest& s, const std::string& v) { s.file = v; }},
        {"-font", [](MencoderCall&, SubtitleRequest& s, const std::string& v) { s.font = v; }},
    };
    return options;
}

// Subtitle options with a number; false for other names.
bool SetSubtitleNumber(SubtitleRequest& s, const std::string& name, double value) {
    if (name == "-subwidth") {
        s.width = value;
    } else if (name == "-subpos") {
        s.position = value;
    } else if (name == "-subfont-autoscale") {
        s.autoscale = static_cast<int>(std::clamp(value, 0.0, 3.0));
    } else if (name == "-subfont-text-scale") {
        s.textScale = value;
    } else {
        return false;
    }
    return true;
}

bool HasExtension(const std::string& path, std::string_view extension) {
    if (path.size() <= extension.size()) return false;
    const size_t at = path.size() - extension.size();
    if (path.find('/', at) != std::string::npos) return false;
    for (size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[at + i])) != extension[i]) return false;
    return true;
}

}  // namespace

std::string VobSubPicturesFile(const std::string& indexFile) {
    return indexFile.substr(0, indexFile.size() - 4) + ".sub";
}

std::optional<long long> ParseEndposSize(const std::string& text) {
    static const std::pair<const char*, long long> kUnits[] = {
        {"gb", 1LL << 30}, {"mb", 1LL << 20}, {"kb", 1LL << 10}, {"b", 1}};
    for (const auto& [suffix, factor] : kUnits) {
        const std::string s = suffix;
        if (text.size() > s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0) {
            const auto value = Number(text.substr(0, text.size() - s.size()));
            // Sizes a file can have; a larger number is no size.
            if (!value || *value < 0 || *value * static_cast<double>(factor) >= 0x1p62)
                return std::nullopt;
            return static_cast<long long>(*value * static_cast<double>(factor));
        }
    }
    return std::nullopt;
}

std::optional<double> ParseFrameRate(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) {
        const auto value = Number(text);
        return value && *value > 0 && *value <= kMaxFrameRate ? value : std::nullopt;
    }
    const auto num = Number(text.substr(0, slash)), den = Number(text.substr(slash + 1));
    if (!num || !den || *num <= 0 || *den <= 0 || *num / *den > kMaxFrameRate) return std::nullopt;
    return *num / *den;
}

Fraction NormalisedFrameRate(double fps) {
    fps = std::clamp(fps, 0.0, kMaxFrameRate);
    const AVRational rate = av_d2q(fps, static_cast<int>(fps * 1001 + 2));
    return {rate.num, rate.den};
}

bool KeepsEveryFrame(const MencoderCall& call) {
    return std::find(call.passThrough.begin(), call.passThrough.end(), "-noskip") !=
           call.passThrough.end();
}

MencoderCall ParseMencoderArgs(const std::vector<std::string>& args) {
    MencoderCall call;
    SubtitleRequest subtitles;
    std::optional<std::string> vobsub;  // -vobsub NAME
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg.size() > 1 && arg[0] == '-') {
            if (arg == "-nosound") {
                call.noSound = true;
            } else if (arg == "-noskip") {
                call.passThrough.push_back(arg);
            } else if (arg == "-utf8") {
                subtitles.utf8 = true;
            } else if (arg == "-ass") {
                subtitles.ass = true;
            } else if (!hasValue) {
                call.error = "option " + arg + " needs a value";
                return call;
            } else if (arg == "-vobsub") {
                vobsub = args[++i];
            } else if (arg == "-mc") {
                call.passThrough.insert(call.passThrough.end(), {arg, args[++i]});
            } else if (arg == "-vf") {
                if (auto problem = ParseFilters(args[++i], &call.filters); !problem.empty()) {
                    call.error = problem;
                    return call;
                }
            } else if (arg == "-endpos") {
                call.endBytes = ParseEndposSize(args[++i]);
                if (!call.endBytes) {
                    call.error = "-endpos takes a size such as 10mb: " + args[i];
                    return call;
                }
            } else if (auto it = ValueOptions().find(arg); it != ValueOptions().end()) {
                it->second(call, subtitles, args[++i]);
            } else if (const auto number = Number(args[i + 1]);
                       number && SetSubtitleNumber(subtitles, arg, *number)) {
                ++i;
            } else {
                call.error = "unknown option " + arg;
                return call;
            }
        } else if (call.input.empty()) {
            call.input = arg;
        } else {
            call.error = "more than one input file: " + call.input + ", " + arg;
            return call;
        }
    }
    if (vobsub && vobsub->empty()) {
        call.error = "-vobsub takes the name NAME of NAME.idx and NAME.sub";
        return call;
    }
    if (vobsub && !subtitles.file.empty()) {
        call.error = "-sub and -vobsub both given: one subtitle source at a time (" +
                     subtitles.file + ", " + *vobsub + ")";
        return call;
    }
    if (vobsub) {
        subtitles.kind = SubtitleKind::VobSub;
        subtitles.file = *vobsub + ".idx";
    } else if (HasExtension(subtitles.file, ".sup")) {
        subtitles.kind = SubtitleKind::Pgs;
    }
    if (!subtitles.file.empty()) call.subtitles = subtitles;
    if (call.input.empty())
        call.error = "no input file given";
    else if (call.output.empty())
        call.error = "no output file given (-o)";
    else if (call.videoCodec.empty())
        call.error = "no video codec given (-ovc)";
    else if (call.videoCodec != "x264" && call.videoCodec != "lavc" && call.videoCodec != "xvid" &&
             call.videoCodec != "copy")
        call.error = "video codec not supported: " + call.videoCodec;
    else if (!call.audioCodec.empty() && call.audioCodec != "copy" && call.audioCodec != "mp3lame")
        call.error = "audio codec not supported: " + call.audioCodec;
    else if (call.format != "avi" && call.format != "mpeg" && call.format != "rawvideo")
        call.error = "output format not supported: " + call.format;
    else if (const auto* rate =
                 FindOption(call.videoCodec == "x264" ? call.x264 : call.xvid, "bitrate");
             rate && (!rate->value || !ParseWhole(*rate->value)))
        call.error = "the bitrate must be a whole number: " + rate->value.value_or("");
    else if (!call.outputFps.empty() && !ParseFrameRate(call.outputFps))
        call.error = "-ofps takes a frame rate such as 25 or 30000/1001: " + call.outputFps;
    return call;
}

}  // namespace standin
