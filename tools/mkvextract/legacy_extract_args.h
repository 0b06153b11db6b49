#pragma once
// The mkvextract command line of 2008 ("mkvextract tracks SOURCE [options] 2:OUT ...", track
// numbers being the Matroska TrackNumber) and its rewriting for today's mkvextract
// ("mkvextract SOURCE tracks [options] 1:OUT ...", 0-based track IDs).
#include <string>
#include <vector>

#include "common/legacy_options.h"

namespace standin {

struct LegacyExtractRequest {
    std::string mode;  // "tracks", "timecodes_v2", "tags", ...
    std::string source;
    std::vector<std::string> options;  // mode options, passed on unchanged
    std::vector<TrackTarget> targets;  // legacy track number and output path, in order
    std::vector<std::string> others;   // remaining arguments of modes without track numbers
};

// True for the modes whose arguments are "TRACK:OUT" pairs.
bool ModeTakesTrackTargets(const std::string& mode);

// Reads the legacy argument list (without the program name). On a malformed line returns false
// and sets `error` to a message for the user.
bool ParseLegacyExtractArgs(const std::vector<std::string>& args, LegacyExtractRequest* request,
                            std::string* error);

// Today's argument list (program first) for a parsed request; `trackIds` holds the 0-based ID of
// each target, in the order of `request.targets`.
std::vector<std::string> ModernExtractCommand(const LegacyExtractRequest& request,
                                              const std::vector<long long>& trackIds);

}  // namespace standin
