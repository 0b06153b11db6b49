#pragma once
#include <string>

namespace kestrun {

// The folder holding the running executable, without a trailing separator.
std::string ProgramFolder();

}  // namespace kestrun
