#pragma once
#include <string>

namespace kestrun {
struct Context;

// mmcl's report lines of an AVI whose video uses neither quarter-pixel motion nor global motion
// compensation (column 20 holds the value).
inline constexpr const char* kQpelNoPhrase = "QPel:              No";
inline constexpr const char* kGmcNoPhrase = "GMC:               No";

// True when the AVI's video plays unchanged (no quarter-pixel motion, no global motion comp.).
// Cuts the first 10 MB into the work folder's "test.avi" with MEncoder, asks mmcl about it and
// deletes the cut again, whatever the outcome.
bool CheckAviVideo(Context& ctx, const std::string& source, const std::string& mmclPath,
                   const std::string& workFolder);

// The two command lines of the check.
std::string AviTestCutCommand(const Context& ctx, const std::string& source,
                              const std::string& workFolder);
std::string AviReportCommand(const std::string& mmclPath, const std::string& workFolder);

}  // namespace kestrun
