#pragma once
// Registration of the two media components at start-up, and the registration script the window
// writes on a double click.
#include <cstdint>
#include <string>

namespace kestrun {

// Loads the component, calls its DllRegisterServer (or DllUnregisterServer) entry point when it
// has one, releases it; always returns 0. An empty or missing file loads nothing.
std::int32_t Sub_RegisterServer(std::int32_t lngHwnd, const std::string& strDllServerPath,
                                bool boolRegister);

// Writes `scriptPath` (by default programFolder + "/register.bat") anew with its two CR LF lines,
// which name the components of the program folder.
void WriteRegisterScript(const std::string& programFolder, const std::string& scriptPath);
void WriteRegisterScript(const std::string& programFolder);

}  // namespace kestrun
