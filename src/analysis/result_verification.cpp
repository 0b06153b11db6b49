#include "analysis/result_verification.h"

#include <cmath>
#include <cstdio>

namespace kestrun {
namespace {

RuleResult DurationRule(const char* rule, const std::optional<double>& result,
                        const std::optional<double>& source) {
    RuleResult r{rule, RuleStatus::Unknown, "", Fix::None};
    if (!result || !source) {
        r.measured = "not in the headers";
        return r;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%.2f s, source %.2f s", *result, *source);
    r.measured = text;
    r.status = std::fabs(*result - *source) <= kDurationToleranceSeconds ? RuleStatus::Pass
                                                                         : RuleStatus::Fail;
    return r;
}

}  // namespace

Verification VerifyResult(const MediaFacts& result, const MediaFacts& source, size_t sourceAudio,
                          Console console) {
    Verification v;
    // A result is judged as it is: the first route is the one its own container gives.
    const std::vector<Route> routes = CheckForConsole(result, console);
    const Route& asIs = routes.front();
    if (asIs.target == Target::AsIs) {
        v.results = asIs.results;
    } else {
        v.results.push_back(
            {"container", RuleStatus::Fail, ContainerName(result.container), Fix::Remux});
    }
    if (result.video) {
        const auto sourceSeconds = source.video ? source.video->seconds : std::nullopt;
        v.results.push_back(DurationRule("video duration", result.video->seconds, sourceSeconds));
    }
    if (!result.audio.empty()) {
        const auto sourceSeconds =
            sourceAudio < source.audio.size() ? source.audio[sourceAudio].seconds : std::nullopt;
        v.results.push_back(
            DurationRule("audio duration", result.audio.front().seconds, sourceSeconds));
    }
    for (const auto& r : v.results)
        if (r.status == RuleStatus::Fail) v.plays = false;
    return v;
}

std::string VerificationLine(const Verification& verification, Console console) {
    if (verification.plays) return std::string("plays on the ") + ConsoleName(console);
    std::string line = ConsoleName(console);
    const char* separator = ": ";
    for (const auto& r : verification.results) {
        if (r.status != RuleStatus::Fail) continue;
        line += separator + r.rule + " " + r.measured;
        separator = "; ";
    }
    return line;
}

}  // namespace kestrun
