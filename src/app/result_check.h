#pragma once
// After a conversion: the console rules on what was written, shown in the progress line and
// written to the log.
namespace kestrun {
struct Context;

// Checks the last conversion's MP4 result (other outputs are not checked yet) against the
// window's console and sets Context::finishedOutputPlays; nothing when no result was finished.
void VerifyFinishedOutput(Context& ctx);

}  // namespace kestrun
