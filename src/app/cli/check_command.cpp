// kestrun-cli check [--platform ps3|xbox360|ps3-stereo]... [--json] FILE...: whether each file
// plays on each console, rule by rule, read from its headers only, with the cheapest fix and the
// convert options that apply it.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "analysis/console_rules.h"
#include "analysis/media_probe.h"
#include "app/cli/commands.h"

namespace kestrun {
namespace {

constexpr int kExitUnreadable = 1;

using Json = nlohmann::ordered_json;

struct CheckArgs {
    std::vector<std::string> platforms;  // none given: the PS3 and the Xbox 360
    bool json = false;
    std::vector<std::string> files;
};

constexpr Console kConsoles[] = {Console::Ps3, Console::Xbox360, Console::Ps3Stereo};

const char* PlatformOption(Console console) {
    switch (console) {
        case Console::Ps3:
            return "ps3";
        case Console::Xbox360:
            return "xbox360";
        case Console::Ps3Stereo:
            return "ps3-stereo";
    }
    return "";
}

std::string LowerExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string ShellWord(const std::string& text) {
    if (text.find_first_of(" \t'\"\\$`!*?[]()&;|<>#~") == std::string::npos) return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool Failed(const Route& route, const char* rule) {
    for (const auto& r : route.results)
        if (r.rule == rule && r.status == RuleStatus::Fail) return true;
    return false;
}

// The convert command that applies the route's fixes; empty when there is nothing to do, or the
// source is of a kind kestrun-cli convert does not take.
std::string ConvertCommand(const MediaFacts& facts, Console console, const Route& route) {
    if (route.verdict == Fix::None || route.verdict == Fix::NoConversion ||
        route.verdict == Fix::NoFix)
        return {};
    const std::string ext = LowerExtension(facts.path);
    if (ext != "mkv" && ext != "avi" && ext != "wmv") return {};
    // The WMV chain copies VC-1 video and re-encodes none: for anything else no command works.
    const bool vc1 = facts.video && facts.video->codec == VideoCodec::Vc1;
    if (ext == "wmv" && (!vc1 || route.verdict == Fix::VideoReencode)) return {};
    std::string command = "kestrun-cli convert --platform " + std::string(PlatformOption(console));
    if (route.target == Target::Avchd) command += " --container avchd";
    // AVI sources get their Xvid re-encode from the AVI chain without asking.
    if (route.verdict == Fix::VideoReencode && ext == "mkv")
        command += Failed(route, "MPEG-4 GMC") ? " --recode xvid" : " --recode h264";
    return command + " " + ShellWord(facts.path);
}

std::string Summary(const MediaFacts& facts) {
    std::string text = ContainerName(facts.container);
    char size[32];
    std::snprintf(size, sizeof size, "%.1f MiB", facts.fileSize / 1048576.0);
    text += std::string(", ") + size;
    if (facts.video)
        text += ", video " + facts.video->codecName + " " + std::to_string(facts.video->width) +
                "x" + std::to_string(facts.video->height);
    for (const auto& a : facts.audio)
        text += ", audio " + a.codecName + " " + std::to_string(a.channels) + " ch";
    return text;
}

void PrintText(const MediaFacts& facts, const std::vector<Console>& consoles) {
    std::cout << facts.path << ": " << Summary(facts) << "\n";
    for (Console console : consoles) {
        for (const Route& route : CheckForConsole(facts, console)) {
            std::cout << "  " << ConsoleName(console);
            if (route.target != Target::AsIs) std::cout << ", as " << TargetName(route.target);
            std::cout << ": " << VerdictText(route.verdict) << "\n";
            for (const auto& r : route.results) {
                char line[64];
                std::snprintf(line, sizeof line, "    %-8s %-15s ", StatusText(r.status),
                              r.rule.c_str());
                std::cout << line << r.measured << "\n";
            }
            const std::string command = ConvertCommand(facts, console, route);
            if (!command.empty()) std::cout << "    " << command << "\n";
        }
    }
}

Json FactsJson(const MediaFacts& facts, const std::vector<Console>& consoles) {
    Json file = {{"file", facts.path},
                 {"container", ContainerName(facts.container)},
                 {"size", facts.fileSize}};
    Json results = Json::array();
    for (Console console : consoles) {
        const auto routes = CheckForConsole(facts, console);
        Json routeList = Json::array();
        for (const Route& route : routes) {
            Json rules = Json::array();
            for (const auto& r : route.results)
                rules.push_back({{"rule", r.rule},
                                 {"status", StatusText(r.status)},
                                 {"measured", r.measured},
                                 {"fixWhenFailed", VerdictText(r.fix)}});
            routeList.push_back({{"target", TargetName(route.target)},
                                 {"verdict", VerdictText(route.verdict)},
                                 {"convert", ConvertCommand(facts, console, route)},
                                 {"rules", rules}});
        }
        results.push_back({{"console", ConsoleName(console)},
                           {"platform", PlatformOption(console)},
                           {"verdict", VerdictText(CheapestRoute(routes).verdict)},
                           {"routes", routeList}});
    }
    file["consoles"] = results;
    return file;
}

int RunCheck(Context& ctx, const CheckArgs& args) {
    std::vector<Console> consoles;
    for (const std::string& platform : args.platforms)
        for (Console c : kConsoles)
            if (platform == PlatformOption(c)) consoles.push_back(c);
    if (consoles.empty()) consoles = {Console::Ps3, Console::Xbox360};
    std::string error;
    int exitCode = 0;
    Json all = Json::array();
    for (const std::string& file : args.files) {
        const auto facts = ReadMediaFacts(ctx, file, &error);
        if (!facts) {
            std::cerr << "kestrun-cli check: " << file << ": " << error << std::endl;
            exitCode = kExitUnreadable;
            continue;
        }
        if (args.json)
            all.push_back(FactsJson(*facts, consoles));
        else
            PrintText(*facts, consoles);
    }
    if (args.json) std::cout << all.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    std::cout << std::flush;
    return std::cout ? exitCode : kExitUnreadable;
}

}  // namespace

SubCommand AddCheckCommand(CLI::App& program) {
    CLI::App* command =
        program.add_subcommand("check", "will it play? the console rules, per file");
    auto args = std::make_shared<CheckArgs>();
    std::vector<std::string> platforms;
    for (Console c : kConsoles) platforms.push_back(PlatformOption(c));
    command
        ->add_option("--platform", args->platforms,
                     "a console to check for, once per console (default: ps3 and xbox360)")
        ->check(CLI::IsMember(platforms).description(""))
        ->type_name("ps3|xbox360|ps3-stereo")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command->add_flag("--json", args->json, "one JSON array of the files instead of text");
    command->add_option("FILE", args->files, "the files to check")->required();
    return {command, [args](Context& ctx, CliHost&) { return RunCheck(ctx, *args); }};
}

}  // namespace kestrun
