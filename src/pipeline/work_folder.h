#pragma once
// Each conversion works in a private folder of its own, made inside the output folder by that
// conversion: the fixed intermediate names can then never meet a file of the user's, and the
// results are made there too and moved into the output folder only when they are complete.
#include <functional>
#include <string>
#include <string_view>

namespace kestrun {

struct Context;

// Runs `convert` with a fresh work folder (Context::workFolder). Afterwards the finished result,
// when the conversion made it in the work folder, is moved into the output folder under its own
// name (never over anything there), and the work folder is removed; when the conversion did not
// end with its result, the folder stays and a message names it. Without an output folder the
// conversion runs as it is, for its own check to report.
void RunInWorkFolder(Context& ctx, const std::function<void()>& convert);

// Where a result named `name` is made: the work folder's result folder (the output folder itself
// while no conversion has a work folder).
std::string WorkResult(const Context& ctx, std::string_view name);

// Moves a result made in the work folder into the output folder under the same name and gives
// its new path; empty, after a message, when something there has that name already.
std::string PublishResult(Context& ctx, const std::string& made);

// Before any work: refuses, with a message, a result name that something in the output folder
// already has (with `title`), or that together with `tempSuffix`, the longest name a tool makes
// of it on the way, is longer than the output folder takes. True when refused.
bool RefuseResultName(Context& ctx, const std::string& name, std::string_view tempSuffix,
                      std::string_view title);
// Refuses a name longer than the output folder takes, with its length and the limit.
bool RefuseLongName(Context& ctx, const std::string& name);

}  // namespace kestrun
