#pragma once
// Whether the chosen source plays on the chosen console: the console rules' one-line verdict,
// shown in the progress line once a source is chosen.
#include <string>

#include "analysis/media_facts.h"

namespace kestrun {
struct Context;

// For a source cut short, how much of it is there and what the conversion makes of it; empty
// for a whole one.
std::string IncompleteSourceNote(const MediaFacts& facts);

// Reads the source's headers and shows the verdict for the console the conversion is made for
// (ChosenConsole) and the window's output (AVCHD when ticked, MP4 otherwise), and for a source cut
// short how much of it is there. A source whose
// headers cannot be read leaves the line as it was.
void ShowSourceVerdict(Context& ctx, const std::string& source);

}  // namespace kestrun
