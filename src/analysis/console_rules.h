#pragma once
// The console rules: what a PS3 or an Xbox 360 plays, as one table, each rule with the cheapest
// fix this program applies when a file breaks it. The rules judge the facts read from a file's
// headers, either as the file is or as it would be after a conversion into one of this program's
// outputs.
#include <string>
#include <vector>

#include "analysis/media_facts.h"

namespace kestrun {

// In the order of the window's platform list.
enum class Console { Ps3 = 0, Xbox360 = 1, Ps3Stereo = 2 };

enum class RuleStatus { Pass, Warn, Fail, Unknown };

// Cheapest first: a file's verdict is the dearest fix among the rules it breaks.
// NoConversion: what is missing from the file (cut short) no conversion brings back. NoFix: no
// conversion of this program makes it play (a file without video).
enum class Fix {
    None,
    Remux,
    LevelByte,
    AudioConversion,
    Split,
    VideoReencode,
    NoConversion,
    NoFix
};

// Where the file is to play: as it is, or remuxed by this program into an MP4 or an AVCHD folder.
enum class Target { AsIs, Mp4, Avchd };

struct RuleResult {
    std::string rule;  // "H.264 level"
    RuleStatus status = RuleStatus::Unknown;
    std::string measured;  // "5.1 > 4.1"
    Fix fix = Fix::None;   // what a failure costs
};

struct Route {
    Target target = Target::AsIs;
    std::vector<RuleResult> results;
    Fix verdict = Fix::None;
};

// Every rule for one console: one route when the file's container plays there as it is,
// otherwise one route per output of this program that plays there.
std::vector<Route> CheckForConsole(const MediaFacts& facts, Console console);

// The rules of one target for one console, whether or not the file's container plays as it is
// (a written AVCHD clip is judged as AVCHD, not as a loose M2TS).
Route CheckAsTarget(const MediaFacts& facts, Console console, Target target);

// The route with the cheapest verdict (the first of equals). `routes` must not be empty.
const Route& CheapestRoute(const std::vector<Route>& routes);

// The verdict for a console as one line, naming the route: "PS3: needs the level byte (MP4)".
// The route to `preferred` when there is one, otherwise the cheapest.
std::string OneLineVerdict(const MediaFacts& facts, Console console, Target preferred);

const char* VerdictText(Fix fix);           // "plays as is", "needs a remux", ...
const char* StatusText(RuleStatus status);  // "pass", "warn", "fail", "unknown"
const char* ConsoleName(Console console);   // "PS3", "Xbox 360", "PS3 (2.0)"
const char* TargetName(Target target);      // "as is", "MP4", "AVCHD"
const char* ContainerName(Container container);

}  // namespace kestrun
