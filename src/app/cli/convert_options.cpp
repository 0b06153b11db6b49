#include "app/cli/convert_options.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <climits>
#include <functional>

#include "app/cli/cli_host.h"
#include "app/handlers.h"
#include "model/context.h"
#include "model/messages.h"
#include "platform/tool_runner.h"

namespace kestrun {
namespace {

// ---- parsing

// A place in a list: plain decimal digits whose value an int holds; anything else is refused.
bool ToIndex(const std::string& text, int* out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && end == text.data() + text.size();
}

// The validators leave the help's value names to the options (an empty description adds none).
const CLI::Validator kIndex(
    [](std::string& value) {
        int n = 0;
        return ToIndex(value, &n) ? std::string()
                                  : "not a place in the list (0 first): \"" + value + "\"";
    },
    "");
const CLI::Validator kNotEmpty(
    [](std::string& value) { return value.empty() ? "the value is empty" : std::string(); }, "");

// The value name of a choice in the help: "a|b|c".
std::string Alternatives(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "|") + name;
    return text;
}

CLI::Option* AddChoice(CLI::App& command, const char* name, std::vector<std::string> names,
                       std::function<void(const std::string&)> set, const char* help) {
    return command.add_option_function<std::string>(name, std::move(set), help)
        ->check(CLI::IsMember(names).description(""))
        ->type_name(Alternatives(names));
}

// A choice kept as its place in `names`, the place of the window's list it selects.
CLI::Option* AddPlace(CLI::App& command, const char* name, std::optional<int>& field,
                      const std::vector<std::string>& names, const char* help) {
    return AddChoice(
        command, name, names,
        [&field, names](const std::string& value) {
            field = int(std::find(names.begin(), names.end(), value) - names.begin());
        },
        help);
}

CLI::Option* AddName(CLI::App& command, const char* name, std::optional<std::string>& field,
                     const std::vector<std::string>& names, const char* help) {
    return AddChoice(
        command, name, names, [&field](const std::string& value) { field = value; }, help);
}

CLI::Option* AddIndex(CLI::App& command, const char* name, std::optional<int>& field,
                      const char* help) {
    return command
        .add_option_function<int>(
            name, [&field](const int& n) { field = n; }, help)
        ->check(kIndex)
        ->type_name("N");
}

CLI::Option* AddText(CLI::App& command, const char* name, std::optional<std::string>& field,
                     const char* valueName, const char* help) {
    return command
        .add_option_function<std::string>(
            name, [&field](const std::string& value) { field = value; }, help)
        ->check(kNotEmpty)
        ->type_name(valueName);
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

// What the box under the output choices means when an option names its other meaning.
constexpr const char* kBoxIsSafeSync =
    "the box is \"Safe Sync\" for an MP4 output (--safe-sync); \"Fast Mux\" goes with "
    "--container avchd or m2ts";
constexpr const char* kBoxIsFastMux =
    "the box is \"Fast Mux\" for an AVCHD folder or an M2TS (--fast-mux); \"Safe Sync\" goes "
    "with an MP4 output";

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
        return [caption](Form1&) {
            return std::string("\"") + caption + "\" is not available for this source";
        };
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
    // One box, two meanings: its caption, set by the output chosen above, says which one the
    // option may tick.
    auto tickAs = [](std::string_view caption) {
        return [caption](Form1& f) { return f.chkFF.text() == caption && Tick(f.chkFF); };
    };
    auto whyNot = [](std::string_view caption) {
        return [caption](Form1& f) {
            if (f.chkFF.text() == caption)
                return "\"" + std::string(caption) + "\" is not available for this source";
            return std::string(f.chkFF.text() == msg::kSafeSync ? kBoxIsSafeSync : kBoxIsFastMux);
        };
    };
    if (o.safeSync)
        steps.push_back({"--safe-sync", tickAs(msg::kSafeSync), whyNot(msg::kSafeSync)});
    if (o.fastMux) steps.push_back({"--fast-mux", tickAs(msg::kFastMux), whyNot(msg::kFastMux)});
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
    // Asked for and then left out, subtitles would go missing from a result said to be done.
    const bool carriesSubtitles = f.chkMP2.value() == 1 || f.chkAVCHD.value() == 1;
    if (o.subs) {
        if (!f.cmbSubs.SetSelectedIndex(*o.subs))
            return "--subs " + std::to_string(*o.subs) + ": the source has " +
                   std::to_string(f.cmbSubs.ListCount()) + " subtitle track(s) in the list";
        if (!carriesSubtitles || !Tick(f.chkSubs))
            return "--subs" + std::string(kSubtitlesNeedRecode);
    }
    if (o.subsBeside) {
        if (!f.lblSRTFound.visible)
            return "--subs-beside: there is no SRT file beside the source (its name with .srt)";
        if (!carriesSubtitles || !Tick(f.chkSubs))
            return "--subs-beside" + std::string(kSubtitlesNeedRecode);
    }
    if (o.subsFile) {
        if (!carriesSubtitles) return "--subs-file" + std::string(kSubtitlesNeedRecode);
        host.fileAnswer = *o.subsFile;
        cmdSubs_Click(ctx);
        host.fileAnswer.clear();
    }
    return {};
}

}  // namespace

void AddConvertOptions(CLI::App& command, ConvertOptions& o, bool perSource) {
    AddText(command, "--out", o.out, "DIR", "output and work folder (default: the current folder)");
    AddPlace(command, "--platform", o.platform, {"ps3", "xbox360", "ps3-stereo"},
             "target console (default: ps3)");
    AddName(command, "--container", o.container, {"mp4", "avchd", "m2ts"},
            "output form (default: mp4)");
    AddName(command, "--recode", o.recode, {"none", "mpeg2", "h264", "xvid"},
            "re-encode the video");
    const char* perSourceGroup = perSource ? "Options" : "";  // an empty group is not shown
    AddIndex(command, "--audio", o.audio, "audio track, by its place in the list (0 first)")
        ->group(perSourceGroup);
    CLI::Option* subs =
        AddIndex(command, "--subs", o.subs,
                 "MKV subtitle track to burn in, or to carry in an AVCHD folder, by its place in "
                 "the list")
            ->group(perSourceGroup);
    CLI::Option* subsFile = AddText(command, "--subs-file", o.subsFile, "FILE",
                                    "subtitle file to burn in, or to carry in an AVCHD folder")
                                ->group(perSourceGroup);
    CLI::Option* subsBeside = command.add_flag(
        "--subs-beside", o.subsBeside,
        "the SRT file beside the source (its name with .srt): burn it in, or carry it in an "
        "AVCHD folder");
    if (perSource) {  // a batch refuses --subs and --subs-file with its own reason
        subs->excludes(subsFile)->excludes(subsBeside);
        subsFile->excludes(subsBeside);
    }
    command.add_flag("--safe-sync", o.safeSync,
                     "MP4 output: decode the audio with FFmpeg (\"Safe Sync\")");
    command.add_flag("--fast-mux", o.fastMux,
                     "--container avchd or m2ts: mux the video straight from the MKV (\"Fast "
                     "Mux\")");
    command.add_flag("--fps25", o.fps25, "speed the film up to 25 frames per second");
    command.add_flag("--dvd", o.dvd, "size the re-encode for a 4.7 GB DVD");
    command.add_flag("--no-split", o.noSplit, "never split sources above 4 GB");
    AddPlace(command, "--priority", o.priority, {"low", "high"},
             "priority of the tools (default: low)");
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
        return steps[i].flag + ": " + steps[i].why(ctx.form);
    }
    if (!tracksDone) return ApplyTrackChoices(ctx, host, options);
    return {};
}

}  // namespace kestrun
