#pragma once
// Whether the chosen source plays on the chosen console: the console rules' one-line verdict,
// shown in the progress line once a source is chosen.
#include <string>

namespace kestrun {
struct Context;

// Reads the source's headers and shows the verdict for the console the conversion is made for
// (ChosenConsole) and the window's output (AVCHD when ticked, MP4 otherwise). A source whose
// headers cannot be read leaves the line as it was.
void ShowSourceVerdict(Context& ctx, const std::string& source);

}  // namespace kestrun
