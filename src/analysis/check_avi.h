#pragma once
#include <string>

namespace kestrun {
struct Context;

// True when the AVI's video plays unchanged (no quarter-pixel motion, no global motion comp.).
bool CheckAviVideo(Context& ctx, const std::string& source, const std::string& mmclPath,
                   const std::string& workFolder);

}  // namespace kestrun
