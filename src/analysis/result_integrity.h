#pragma once
// Whether a result found in the output folder was written to its end. The console rules read the
// headers only, and an MP4 holds its headers before its samples: a file cut short after them (an
// interrupted copy, a full disk) would pass for whole.
#include <string>

namespace kestrun {

// What is missing from an MP4 whose boxes run past its end, or that ends inside a box header;
// empty for a whole one, and for every other kind of result, whose streams end with their data.
std::string CutShortProblem(const std::string& path);

}  // namespace kestrun
