#pragma once

namespace kestrun {
struct Context;

// Converts the MKV named in the window to the chosen target.
void ConvertMkv(Context& ctx);

}  // namespace kestrun
