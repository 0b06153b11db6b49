#pragma once
// The check of a written result: the console rules on the file as it is, and its durations
// against the source's, so that a conversion that finished but will not play, or lost part of the
// film, does not pass for a success.
#include <cstddef>
#include <string>
#include <vector>

#include "analysis/console_rules.h"
#include "analysis/media_facts.h"

namespace kestrun {

struct Verification {
    std::vector<RuleResult> results;
    bool plays = true;  // no rule failed
};

// Video and audio may each end up to this far from the source's length.
inline constexpr double kDurationToleranceSeconds = 1.0;

// Judges `result` as it is on `console`; its video and its (only) audio stream are compared with
// the source's video and the source's audio stream `sourceAudio` (in stream order), each by the
// length the stream gives itself.
Verification VerifyResult(const MediaFacts& result, const MediaFacts& source, size_t sourceAudio,
                          Console console);

// "Xbox 360: audio AAC LC 6 ch; MP4 plays AAC LC with 2 channels only" for a failed result (every
// failed rule), "plays on the Xbox 360" for one that passed.
std::string VerificationLine(const Verification& verification, Console console);

}  // namespace kestrun
