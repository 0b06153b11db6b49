#pragma once
// The settings file: fourteen positional lines in the program folder, written at every Convert
// and read once at start-up.
#include <string>

namespace kestrun {

struct Context;

// Writes the fourteen lines anew from the job state and the window (CR LF line ends).
void SaveConfig(Context& ctx);
// Registers the two media components, then restores the settings when the file exists; every
// restored check box and list runs its rule, in line order. A line that is missing or not valid
// for its control leaves that control as it was, and the progress line and the log name the
// damage.
void LoadConfig(Context& ctx);

// Takes only the option strings of lines 8 (x264) and 10 (subtitles), which nothing but this
// file sets, for runs that keep their own defaults for the rest and never write the file; a
// missing or too long one is named as damage.
void LoadOptionStrings(Context& ctx);

// " 1 " / "-1 ": sign position, digits, one trailing space.
std::string LinePrinterNumber(int value);

}  // namespace kestrun
