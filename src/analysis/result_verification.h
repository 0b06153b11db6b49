#pragma once
// The check of a written result: the console rules on the file as it is, its durations against
// the source's and, for a stream copy, its frame count, so that a conversion that finished but
// will not play, or lost part of the film, does not pass for a success.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/console_rules.h"
#include "analysis/media_facts.h"

namespace kestrun {

struct Verification {
    std::vector<RuleResult> results;
    bool plays = true;  // no rule failed
};

// The video may end up to one frame per second of film from the source's length (a film shown
// at another rate drifts by more), but never by more than the first and never by less than the
// second, the muxers' rounding. The audio may end up to the first from it, which a track delay
// padded with silence or trimmed takes.
inline constexpr double kDurationToleranceSeconds = 1.0;
inline constexpr double kShortestToleranceSeconds = 0.1;
// The tolerance for a source of `seconds` at `fps` frames per second.
double DurationTolerance(double seconds, const std::optional<double>& fps);

// What was written, read back: one file, or the pieces of an AVI or the clips of an AVCHD
// playlist in playing order.
struct WrittenResult {
    Target kind = Target::AsIs;      // Avchd: the clips are judged as AVCHD, not as loose M2TS
    std::vector<MediaFacts> pieces;  // each judged on its own; durations and frames summed
    std::vector<RuleResult> layout;  // what gathering the pieces found (a missing clip, ...)
};

// How the result was made: from the source's video and its audio stream `audio` (in stream
// order); `videoCopied` when the video was copied rather than re-encoded, so that it keeps
// every frame; `fps25` when the window's 25 fps option was on, which may have sped the film up.
struct ResultSource {
    const MediaFacts& facts;
    size_t audio = 0;
    bool videoCopied = false;
    bool fps25 = false;
    bool audioKept = true;  // false where the conversion was made without the source's sound
    // The source was cut short and `facts` tell what it holds: the frame cut in two at its end
    // may or may not be kept.
    bool sourceCutShort = false;
};

// Judges `result` as it is on `console`; its video and its first audio stream are compared with
// the source's, each by the length the stream gives itself. A result without the video of a
// source with video, or without the sound that was to be kept, fails the rule "streams".
Verification VerifyResult(const WrittenResult& result, const ResultSource& source, Console console);

// "Xbox 360: audio AAC LC 6 ch; MP4 plays AAC LC with 2 channels only" for a failed result (every
// failed rule), "plays on the Xbox 360" for one that passed.
std::string VerificationLine(const Verification& verification, Console console);

}  // namespace kestrun
