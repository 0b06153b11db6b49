#pragma once
// The settings file: fourteen positional lines in the program folder, written at every Convert
// and read once at start-up.
#include <string>

namespace kestrun {

struct Context;

// Writes the fourteen lines anew from the job state and the window (CR LF line ends).
void SaveConfig(Context& ctx);
// Registers the two media components, then restores the settings when the file exists; every
// restored check box and list runs its rule, in line order.
void LoadConfig(Context& ctx);

// " 1 " / "-1 ": sign position, digits, one trailing space.
std::string LinePrinterNumber(int value);

}  // namespace kestrun
