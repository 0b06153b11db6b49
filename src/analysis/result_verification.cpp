#include "analysis/result_verification.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace kestrun {
namespace {

// The 25 fps option plays film faster, video and sound alike: the result is shorter by the
// ratio of the frame rates.
constexpr double kPalRate = 25.0;
constexpr double kRateTolerance = 0.01;

int Severity(RuleStatus status) {
    switch (status) {
        case RuleStatus::Pass:
            return 0;
        case RuleStatus::Unknown:
            return 1;
        case RuleStatus::Warn:
            return 2;
        case RuleStatus::Fail:
            return 3;
    }
    return 0;
}

// A piece as it is: every rule of its own container (of AVCHD for a folder's clip), or only the
// container rule when that container does not play on the console.
std::vector<RuleResult> RulesAsWritten(const MediaFacts& piece, Target kind, Console console) {
    std::vector<RuleResult> results = CheckAsTarget(piece, console, kind).results;
    if (results.front().status == RuleStatus::Fail) results.resize(1);
    return results;
}

// Each rule once, with the worst of the pieces' results; named after its piece when several.
std::vector<RuleResult> PiecesRules(const WrittenResult& result, Console console) {
    std::vector<RuleResult> merged;
    for (const MediaFacts& piece : result.pieces) {
        const std::string label =
            result.pieces.size() > 1 ? std::filesystem::path(piece.path).filename().string() : "";
        for (RuleResult r : RulesAsWritten(piece, result.kind, console)) {
            if (!label.empty()) r.measured = label + ": " + r.measured;
            auto same = std::find_if(merged.begin(), merged.end(),
                                     [&r](const RuleResult& m) { return m.rule == r.rule; });
            if (same == merged.end())
                merged.push_back(std::move(r));
            else if (Severity(r.status) > Severity(same->status))
                *same = std::move(r);
        }
    }
    return merged;
}

// The sum over every piece; nothing when one piece does not give its value.
template <typename T>
std::optional<T> Sum(const std::vector<MediaFacts>& pieces,
                     const std::function<std::optional<T>(const MediaFacts&)>& value) {
    T total{};
    for (const MediaFacts& piece : pieces) {
        const std::optional<T> v = value(piece);
        if (!v) return std::nullopt;
        total += *v;
    }
    return total;
}

std::optional<double> VideoSeconds(const MediaFacts& f) {
    return f.video ? f.video->seconds : std::nullopt;
}
std::optional<double> AudioSeconds(const MediaFacts& f) {
    return f.audio.empty() ? std::nullopt : f.audio.front().seconds;
}
std::optional<int64_t> VideoFrames(const MediaFacts& f) {
    return f.video ? f.video->frames : std::nullopt;
}

// How much shorter than its source the result is meant to be: the source's frame rate over 25
// when a film below 25 fps was sped up to 25 fps, else 1.
double SpeedUp(const MediaFacts& result, const ResultSource& source) {
    const auto rate = [](const MediaFacts& f) { return f.video ? f.video->fps : std::nullopt; };
    const auto resultRate = rate(result), sourceRate = rate(source.facts);
    if (!source.fps25 || !resultRate || !sourceRate ||
        std::fabs(*resultRate - kPalRate) > kRateTolerance ||
        *sourceRate >= kPalRate - kRateTolerance)
        return 1.0;  // films of 25 fps and more are never sped up (nor slowed down)
    return *sourceRate / kPalRate;
}

RuleResult DurationRule(const char* rule, const std::optional<double>& result,
                        const std::optional<double>& source, double speedUp, double tolerance) {
    RuleResult r{rule, RuleStatus::Unknown, "", Fix::None};
    if (!result || !source) {
        r.measured = "not in the headers";
        return r;
    }
    const double expected = *source * speedUp;
    char text[128];
    if (speedUp == 1.0)
        std::snprintf(text, sizeof text, "%.2f s, source %.2f s", *result, *source);
    else
        std::snprintf(text, sizeof text, "%.2f s, source %.2f s, %.2f s at 25 fps", *result,
                      *source, expected);
    r.measured = text;
    r.status = std::fabs(*result - expected) <= tolerance ? RuleStatus::Pass : RuleStatus::Fail;
    return r;
}

// A copied stream keeps every frame; where the headers count them the counts must agree.
RuleResult FrameCountRule(const std::optional<int64_t>& result,
                          const std::optional<int64_t>& source, bool sourceCutShort) {
    RuleResult r{"video frames", RuleStatus::Unknown, "", Fix::None};
    if (!result || !source) {
        r.measured = std::string(result ? "source's" : "result's") + " count not in the headers";
        return r;
    }
    r.measured = std::to_string(*result) + (sourceCutShort ? ", source holds " : ", source ") +
                 std::to_string(*source);
    const int64_t allowed = sourceCutShort ? 1 : 0;
    r.status = std::llabs(*result - *source) <= allowed ? RuleStatus::Pass : RuleStatus::Fail;
    return r;
}

// Every kind of stream the conversion was to keep, in every piece; the codec of each is judged
// by the console rules.
RuleResult StreamsRule(const WrittenResult& result, const ResultSource& source) {
    const MediaFacts& from = source.facts;
    const bool wantsVideo = from.video.has_value();
    const bool wantsAudio = source.audioKept && !from.audio.empty();
    RuleResult r{"streams", RuleStatus::Pass, "", Fix::None};
    std::string missing;
    for (const MediaFacts& piece : result.pieces) {
        const std::string label = result.pieces.size() > 1
                                      ? std::filesystem::path(piece.path).filename().string() + ": "
                                      : "";
        if (wantsVideo && !piece.video)
            missing += (missing.empty() ? "" : "; ") + label + "no video";
        if (wantsAudio && piece.audio.empty())
            missing += (missing.empty() ? "" : "; ") + label + "no audio";
    }
    if (!missing.empty()) {
        r.status = RuleStatus::Fail;
        r.measured = missing + " (the source has " +
                     (wantsVideo && wantsAudio ? "video and audio"
                      : wantsVideo             ? "video"
                                               : "audio") +
                     ")";
        return r;
    }
    r.measured = wantsVideo && wantsAudio ? "video and audio"
                 : wantsVideo             ? "video"
                 : wantsAudio             ? "audio"
                                          : "source not read";
    return r;
}

}  // namespace

double DurationTolerance(double seconds, const std::optional<double>& fps) {
    constexpr double kAssumedFps = 25.0;
    const double rate = fps && *fps > 0 ? *fps : kAssumedFps;
    return std::clamp(seconds / rate, kShortestToleranceSeconds, kDurationToleranceSeconds);
}

Verification VerifyResult(const WrittenResult& result, const ResultSource& source,
                          Console console) {
    Verification v;
    v.results = result.layout;
    const std::vector<RuleResult> rules = PiecesRules(result, console);
    v.results.insert(v.results.end(), rules.begin(), rules.end());
    if (!result.pieces.empty()) v.results.push_back(StreamsRule(result, source));
    if (!result.pieces.empty()) {
        const MediaFacts& first = result.pieces.front();
        const MediaFacts& from = source.facts;
        const double speedUp = SpeedUp(first, source);
        const std::optional<double> fps = from.video ? from.video->fps : std::nullopt;
        if (first.video) {
            const auto sourceSeconds = VideoSeconds(from);
            const double tolerance = DurationTolerance(sourceSeconds.value_or(0) * speedUp, fps);
            v.results.push_back(DurationRule("video duration",
                                             Sum<double>(result.pieces, VideoSeconds),
                                             sourceSeconds, speedUp, tolerance));
        }
        if (!first.audio.empty()) {
            const auto sourceSeconds =
                source.audio < from.audio.size() ? from.audio[source.audio].seconds : std::nullopt;
            // A track delay pads the sound with silence or trims it.
            v.results.push_back(DurationRule("audio duration",
                                             Sum<double>(result.pieces, AudioSeconds),
                                             sourceSeconds, speedUp, kDurationToleranceSeconds));
        }
        if (first.video && source.videoCopied)
            v.results.push_back(FrameCountRule(Sum<int64_t>(result.pieces, VideoFrames),
                                               VideoFrames(from), source.sourceCutShort));
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
