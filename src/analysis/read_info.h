#pragma once
#include <string>

namespace kestrun {
struct Context;

// Analyses an MKV source: runs mkvinfo, fills the analysis state and the window, runs the DPB check.
void ReadInfo(Context& ctx, const std::string& source);

}  // namespace kestrun
