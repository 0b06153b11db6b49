// kestrun-cli check [--platform ps3|xbox360|ps3-stereo] [--json] FILE...: whether each file plays
// on each console, rule by rule, read from its headers only, with the cheapest fix and the
// convert options that apply it.
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "analysis/console_rules.h"
#include "analysis/media_probe.h"
#include "app/cli/commands.h"

namespace kestrun {
namespace {

constexpr int kExitUnreadable = 1;
constexpr int kExitUsage = 2;

using Json = nlohmann::ordered_json;

struct CheckArgs {
    std::vector<Console> consoles = {Console::Ps3, Console::Xbox360};
    bool json = false;
    std::vector<std::string> files;
};

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

std::optional<CheckArgs> ParseArgs(const std::vector<std::string>& args, std::string* error) {
    CheckArgs parsed;
    bool platformGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            parsed.json = true;
        } else if (a == "--platform") {
            if (i + 1 == args.size()) return *error = "--platform needs a value", std::nullopt;
            const std::string value = args[++i];
            std::optional<Console> console;
            for (Console c : {Console::Ps3, Console::Xbox360, Console::Ps3Stereo})
                if (value == PlatformOption(c)) console = c;
            if (!console) return *error = "unknown platform: " + value, std::nullopt;
            if (!platformGiven) parsed.consoles.clear();
            platformGiven = true;
            parsed.consoles.push_back(*console);
        } else if (a == "--") {
            parsed.files.insert(parsed.files.end(), args.begin() + i + 1, args.end());
            break;
        } else if (!a.empty() && a[0] == '-') {
            return *error = "unknown option: " + a, std::nullopt;
        } else {
            parsed.files.push_back(a);
        }
    }
    if (parsed.files.empty()) return *error = "no file given", std::nullopt;
    return parsed;
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

}  // namespace

int RunCheckCommand(Context& ctx, CliHost&, const std::vector<std::string>& args) {
    std::string error;
    const auto parsed = ParseArgs(args, &error);
    if (!parsed) {
        std::cerr << "kestrun-cli check: " << error << "\n"
                  << "usage: kestrun-cli check [--platform ps3|xbox360|ps3-stereo] [--json] "
                     "FILE...\n";
        return kExitUsage;
    }
    int exitCode = 0;
    Json all = Json::array();
    for (const std::string& file : parsed->files) {
        const auto facts = ReadMediaFacts(ctx, file, &error);
        if (!facts) {
            std::cerr << "kestrun-cli check: " << file << ": " << error << std::endl;
            exitCode = kExitUnreadable;
            continue;
        }
        if (parsed->json)
            all.push_back(FactsJson(*facts, parsed->consoles));
        else
            PrintText(*facts, parsed->consoles);
    }
    if (parsed->json) std::cout << all.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    std::cout << std::flush;
    return std::cout ? exitCode : kExitUnreadable;
}

}  // namespace kestrun
