#include "app/cli/convert_options.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <functional>
#include <map>

#include "app/cli/cli_host.h"
#include "app/handlers.h"
#include "model/context.h"
#include "platform/tool_runner.h"

namespace kestrun {
namespace {

// ---- parsing

using Setter = std::function<bool(ConvertOptions&, const std::string&)>;

struct OptionDef {
    const char* name;
    const char* valueName;  // nullptr for a flag
    const char* help;
    Setter set;
};

// A place in a list: plain decimal digits whose value an int holds; anything else is refused.
bool ToIndex(const std::string& text, int* out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && end == text.data() + text.size();
}

template <typename T>
Setter Choice(std::optional<T> ConvertOptions::*field, std::map<std::string, T> choices) {
    return [field, choices](ConvertOptions& o, const std::string& v) {
        auto it = choices.find(v);
        if (it == choices.end()) return false;
        o.*field = it->second;
        return true;
    };
}

Setter Index(std::optional<int> ConvertOptions::*field) {
    return [field](ConvertOptions& o, const std::string& v) {
        int n = 0;
        if (!ToIndex(v, &n)) return false;
        o.*field = n;
        return true;
    };
}

Setter Text(std::optional<std::string> ConvertOptions::*field) {
    return [field](ConvertOptions& o, const std::string& v) {
        o.*field = v;
        return !v.empty();
    };
}

Setter Flag(bool ConvertOptions::*field) {
    return [field](ConvertOptions& o, const std::string&) {
        o.*field = true;
        return true;
    };
}

const std::vector<OptionDef>& OptionTable() {
    static const std::vector<OptionDef> table = {
        {"--out", "DIR", "output and work folder (default: the current folder)",
         Text(&ConvertOptions::out)},
        {"--platform", "ps3|xbox360|ps3-stereo", "target console (default: ps3)",
         Choice<int>(&ConvertOptions::platform, {{"ps3", 0}, {"xbox360", 1}, {"ps3-stereo", 2}})},
        {"--container", "mp4|avchd|m2ts", "output form (default: mp4)",
         Choice<std::string>(&ConvertOptions::container,
                             {{"mp4", "mp4"}, {"avchd", "avchd"}, {"m2ts", "m2ts"}})},
        {"--recode", "none|mpeg2|h264|xvid", "re-encode the video",
         Choice<std::string>(
             &ConvertOptions::recode,
             {{"none", "none"}, {"mpeg2", "mpeg2"}, {"h264", "h264"}, {"xvid", "xvid"}})},
        {"--audio", "N", "audio track, by its place in the list (0 first)",
         Index(&ConvertOptions::audio)},
        {"--subs", "N",
         "MKV subtitle track to burn in, or to carry in an AVCHD folder, by its place in the list",
         Index(&ConvertOptions::subs)},
        {"--subs-file", "FILE", "subtitle file to burn in, or to carry in an AVCHD folder",
         Text(&ConvertOptions::subsFile)},
        {"--subs-beside", nullptr,
         "the SRT file beside the source (its name with .srt): burn it in, or carry it in an "
         "AVCHD folder",
         Flag(&ConvertOptions::subsBeside)},
        {"--safe-sync", nullptr, "decode the audio with FFmpeg (\"Safe Sync\")",
         Flag(&ConvertOptions::safeSync)},
        {"--fps25", nullptr, "speed the film up to 25 frames per second",
         Flag(&ConvertOptions::fps25)},
        {"--dvd", nullptr, "size the re-encode for a 4.7 GB DVD", Flag(&ConvertOptions::dvd)},
        {"--no-split", nullptr, "never split sources above 4 GB", Flag(&ConvertOptions::noSplit)},
        {"--priority", "low|high", "priority of the tools (default: low)",
         Choice<int>(&ConvertOptions::priority, {{"low", 0}, {"high", 1}})},
    };
    return table;
}

// ---- applying

constexpr int kDefaultPlatform = 0;               // "PS3 (5.1)", when --platform is not given
constexpr int kXbox360 = 1;                       // place of "Xbox 360" in the platform list
constexpr int kRecodeMpeg2 = 0, kRecodeH264 = 1;  // places in the re-encode format list

// The re-encodes draw subtitles into the picture and an AVCHD folder carries them as a stream of
// its own; the other outputs have none.
constexpr const char* kSubtitlesNeedRecode =
    ": subtitles go only into a re-encode or an AVCHD folder; add --recode mpeg2, h264 or xvid, "
    "or --container avchd";

// The path made absolute against the current folder; empty when the current folder cannot be
// named (removed, or out of reach) and the path is relative.
std::string Absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd) || cwd[0] != '/') return {};
    std::string base = cwd;
    if (base != "/") base += '/';
    return path.empty() ? base : base + path;
}

// One option as a person's click on the window: fails when the control cannot be clicked.
struct Step {
    std::string flag;  // as the person typed it, for messages
    std::function<bool(Form1&)> apply;
    std::function<std::string(Form1&)> why;  // what the refusal says about the control
};

bool Tick(CheckBox& box) {
    if (!box.enabled) return false;
    box.SetValue(1);
    return true;
}

bool Untick(CheckBox& box) {
    if (box.value() == 0) return true;
    if (!box.enabled) return false;
    box.SetValue(0);
    return true;
}

std::vector<Step> FormSteps(const ConvertOptions& o) {
    std::vector<Step> steps;
    auto disabled = [](const char* caption) {
        return [caption](Form1&) { return std::string("\"") + caption + "\" is not available"; };
    };
    if (o.platform)
        steps.push_back({"--platform",
                         [p = *o.platform](Form1& f) { return f.cmbPlatform.SetSelectedIndex(p); },
                         disabled("Target")});
    // Named for a WMV source, whose chain writes an AVCHD folder only: the chain refuses it.
    if (o.container == "mp4")
        steps.push_back({"--container mp4", [](Form1& f) { return Untick(f.chkAVCHD); },
                         disabled("AVCHD (BR/PS3)")});
    if (o.container == "avchd")
        steps.push_back({"--container avchd", [](Form1& f) { return Tick(f.chkAVCHD); },
                         disabled("AVCHD (BR/PS3)")});
    if (o.container == "m2ts")
        steps.push_back({"--container m2ts", [](Form1& f) { return Tick(f.chkVob); },
                         disabled("Mux to Vob (PS3)")});
    if (o.recode == "none")
        steps.push_back(
            {"--recode none", [](Form1& f) { return Untick(f.chkMP2); }, disabled("MPEG2 Recode")});
    else if (o.recode) {
        const int index = *o.recode == "mpeg2" ? 0 : *o.recode == "h264" ? 1 : 2;
        steps.push_back({"--recode " + *o.recode,
                         [index](Form1& f) {
                             f.cmdConv.SetSelectedIndex(index);
                             return Tick(f.chkMP2) || f.chkMP2.value() == 1;
                         },
                         disabled("MPEG2 Recode")});
    }
    if (o.safeSync)
        steps.push_back(
            {"--safe-sync", [](Form1& f) { return Tick(f.chkFF); }, disabled("Safe Sync")});
    if (o.fps25)
        steps.push_back(
            {"--fps25", [](Form1& f) { return Tick(f.chk25); }, disabled("25 FPS output")});
    if (o.dvd)
        steps.push_back({"--dvd", [](Form1& f) { return Tick(f.chkDVD); }, disabled("Fit to DVD")});
    if (o.noSplit)
        steps.push_back(
            {"--no-split", [](Form1& f) { return Untick(f.Check1); }, disabled("Split")});
    if (o.priority)
        steps.push_back({"--priority",
                         [p = *o.priority](Form1& f) { return f.cmbPrio.SetSelectedIndex(p); },
                         disabled("Priority")});
    return steps;
}

// The earlier option whose rule locked the control of steps[failed]: the one that, left out,
// lets the option take on a fresh window. Empty when it takes on a fresh window with all of them
// (the source locked it) or when no single earlier option is to blame.
std::string Culprit(const std::vector<Step>& steps, size_t failed) {
    auto takesWithout = [&](size_t skip) {
        Analysis analysis;
        Form1 form(analysis);
        for (size_t i = 0; i < failed; ++i)
            if (i != skip) steps[i].apply(form);
        return steps[failed].apply(form);
    };
    if (takesWithout(failed)) return {};
    for (size_t skip = failed; skip-- > 0;) {
        if (takesWithout(skip)) return steps[skip].flag;
    }
    return {};
}

// Inserts the steps that need the analysis or the host (audio and subtitles) after the recode
// step, where a person would pick them.
std::string ApplyTrackChoices(Context& ctx, CliHost& host, const ConvertOptions& o) {
    Form1& f = ctx.form;
    // The AVI and WMV chains have no track list: they convert the first audio track.
    if (o.audio && f.strType != "mkv") {
        if (*o.audio != 0)
            return "--audio " + std::to_string(*o.audio) + ": only the first audio track (0) of " +
                   "an AVI or WMV source is converted";
    } else if (o.audio && !f.cmbAudio.SetSelectedIndex(*o.audio))
        return "--audio " + std::to_string(*o.audio) + ": the source has " +
               std::to_string(f.cmbAudio.ListCount()) + " audio track(s) in the list";
    if (o.subs) {
        if (!f.cmbSubs.SetSelectedIndex(*o.subs))
            return "--subs " + std::to_string(*o.subs) + ": the source has " +
                   std::to_string(f.cmbSubs.ListCount()) + " subtitle track(s) in the list";
        if (!Tick(f.chkSubs)) return "--subs" + std::string(kSubtitlesNeedRecode);
    }
    if (o.subsBeside) {
        if (!f.lblSRTFound.visible)
            return "--subs-beside: there is no SRT file beside the source (its name with .srt)";
        if (!Tick(f.chkSubs)) return "--subs-beside" + std::string(kSubtitlesNeedRecode);
    }
    if (o.subsFile) {
        if (f.chkMP2.value() != 1 && f.chkAVCHD.value() != 1)
            return "--subs-file" + std::string(kSubtitlesNeedRecode);
        host.fileAnswer = *o.subsFile;
        cmdSubs_Click(ctx);
        host.fileAnswer.clear();
    }
    return {};
}

}  // namespace

std::optional<ConvertOptions> ParseConvertOptions(const std::vector<std::string>& args,
                                                  std::string* error) {
    ConvertOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            options.positional.push_back(arg);
            continue;
        }
        const OptionDef* def = nullptr;
        for (const auto& d : OptionTable())
            if (arg == d.name) def = &d;
        if (!def) {
            *error = "unknown option " + arg;
            return std::nullopt;
        }
        std::string value;
        if (def->valueName) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value: " + def->valueName;
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!def->set(options, value)) {
            *error = arg + " takes " + def->valueName + ", not \"" + value + "\"";
            return std::nullopt;
        }
    }
    if (int(options.subs.has_value()) + int(options.subsFile.has_value()) +
            int(options.subsBeside) >
        1) {
        *error = "--subs, --subs-file and --subs-beside exclude each other";
        return std::nullopt;
    }
    return options;
}

std::string ApplyOutputFolder(Context& ctx, const ConvertOptions& options) {
    std::string folder = Absolute(options.out.value_or(""));
    if (folder.empty())
        return "--out: the current folder cannot be named; give the output folder as a full path";
    if (folder.back() != '/') folder += '/';
    ctx.form.txtTMP.SetText(folder);
    return {};
}

std::string CheckSubtitleFile(ConvertOptions& options) {
    if (!options.subsFile) return {};
    const std::string path = Absolute(*options.subsFile);
    if (path.empty())
        return "--subs-file: the current folder cannot be named; give the file as a full path";
    if (!FileFound(path)) return "--subs-file: no such file: " + *options.subsFile;
    if (path.find_first_of("\"\r\n") != std::string::npos)
        return "--subs-file: the tools' command lines cannot carry this name (a double quote or "
               "a line break): " +
               path;
    options.subsFile = path;
    return {};
}

void StartRecodeFormat(Context& ctx, const ConvertOptions& options) {
    ctx.form.cmbPlatform.SetSelectedIndex(options.platform.value_or(kDefaultPlatform));
    ctx.form.cmdConv.SetSelectedIndex(options.platform == kXbox360 ? kRecodeH264 : kRecodeMpeg2);
}

std::string ApplyConvertOptions(Context& ctx, CliHost& host, const ConvertOptions& options) {
    ConvertOptions withDefaults = options;
    if (!withDefaults.platform) withDefaults.platform = kDefaultPlatform;
    const std::vector<Step> steps = FormSteps(withDefaults);
    bool tracksDone = false;
    for (size_t i = 0; i < steps.size(); ++i) {
        const bool afterRecode = steps[i].flag.rfind("--recode", 0) != 0 &&
                                 steps[i].flag.rfind("--container", 0) != 0 &&
                                 steps[i].flag.rfind("--platform", 0) != 0;
        if (afterRecode && !tracksDone) {
            tracksDone = true;
            if (std::string e = ApplyTrackChoices(ctx, host, options); !e.empty()) return e;
        }
        if (steps[i].apply(ctx.form)) continue;
        const std::string culprit = Culprit(steps, i);
        if (!culprit.empty()) return steps[i].flag + " cannot be combined with " + culprit;
        return steps[i].flag + ": " + steps[i].why(ctx.form) + " for this source";
    }
    if (!tracksDone) return ApplyTrackChoices(ctx, host, options);
    return {};
}

std::string ConvertOptionsHelp() {
    std::string help;
    for (const auto& d : OptionTable()) {
        std::string left =
            std::string(d.name) + (d.valueName ? std::string(" ") + d.valueName : "");
        help += "    " + left + std::string(left.size() < 36 ? 36 - left.size() : 1, ' ') + d.help +
                "\n";
    }
    return help;
}

}  // namespace kestrun
