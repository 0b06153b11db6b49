#pragma once
// Two stage sequences that share no file, run at the same time: the lead on the calling (window's)
// thread, the follower on a thread of its own. A person sees what the two would have shown one
// after the other: the lead's progress texts, log lines and messages as they come, then the
// follower's in their own order (held back until the lead has ended). The window's thread keeps
// pumping events while it waits for the follower.
//
// A sequence returns false when it failed in a way that ends the conversion. The other one is then
// stopped: its running tool is ended and it takes no further step (a stage that reaches a progress
// text, a log line, a message or a tool run goes no further), so what the two wrote stays in the
// work folder as after any failure. A person cancelling (Host::StopRequested) stops both alike.
// What the follower held back is shown unless the lead failed first or a person cancelled.
#include <functional>

namespace kestrun {

struct Context;
struct Conversion;

using StageSequence = std::function<bool()>;

// True when both sequences went to their end; false when one failed or a person cancelled. An
// exception that leaves either sequence stops the other and is thrown on here once both ended.
bool RunSideBySide(Context& ctx, const StageSequence& lead, const StageSequence& follower);

// The MP4 chain from the extraction on, with the audio steps beside the extraction and the level
// patch when the extraction takes no audio track (the two then share no file); the mux follows
// once both have ended. False when the chain is not such a one and the driver runs it as usual.
bool RunMp4ChainSideBySide(Context& ctx, Conversion& conv);

// The AVCHD chain from the extraction on, with its audio conversion beside the extraction (this
// chain's extraction never takes the audio track); the level patch and the mux follow once both
// have ended. False when no audio is converted or the video is re-encoded, and the driver runs
// the chain as usual.
bool RunAvchdChainSideBySide(Context& ctx, Conversion& conv);

}  // namespace kestrun
