#pragma once
// After a conversion: the console rules on what was written, shown in the progress line and
// written to the log. The same check decides whether a batch may skip a source whose result is
// already in the output folder.
#include <cstddef>
#include <string>

#include "analysis/console_rules.h"
#include "analysis/result_verification.h"

namespace kestrun {
struct Context;
struct Form1;

// The console a conversion is made for: the one chosen in the window's platform list, and the
// Xbox 360 when none is chosen (as the conversion's own rule has it).
Console ChosenConsole(const Form1& f);
// Whether the platform list has no console chosen.
bool NoTargetChosen(const Form1& f);

struct ResultCheck {
    bool readable = false;  // false: `error` says why the result could not be read
    std::string error;
    Verification verification;  // when readable
};

// Checks a result that exists at `result` (an MP4, ".mpg", VOB or AVI file with the further
// pieces the window's split options cut, or an AVCHD folder through its playlist) against
// `console`, the source's durations (`sourceAudio`: the source audio stream it was made from, in
// stream order) and, for copied video, the source's frame count. The VC-1 chain's streams, left
// for the user, are reported readable with no results.
ResultCheck CheckResultAt(Context& ctx, const std::string& result, const std::string& source,
                          size_t sourceAudio, Console console);

// Checks the last conversion's result against the window's console and sets
// Context::finishedOutputPlays (false once any piece of a split source failed); nothing when no
// result was finished or that result was verified already.
void VerifyFinishedOutput(Context& ctx);

}  // namespace kestrun
