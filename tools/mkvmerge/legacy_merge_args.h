#pragma once
// The mkvmerge command line of 2008 and its rewriting for today's mkvmerge. Two things changed:
// track selections and "TRACK:value" options named a Matroska source's tracks by their
// TrackNumber (today: 0-based IDs), and the split size is given in the caller's kB of 1000 bytes.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace standin {

// Today's track ID for a legacy track number of the source file `source`, or nullopt (with a
// message in `error`) when there is none.
using TrackIdLookup = std::function<std::optional<long long>(const std::string& source,
                                                             long long number, std::string* error)>;

struct MergeTranslation {
    std::vector<std::string> args;     // today's arguments, without the program name
    std::vector<std::string> sources;  // the source files, in order
    std::string output;                // the "-o" file (pieces of a split are named after it)
    std::string error;                 // non-empty when the line cannot be translated
};

// "3000000K" gives "size:3000000000": a size with K, M or G counts 1000, 1000000 or 1000000000
// bytes; "size:" may lead; a bare number counts bytes. Other split forms (durations, timecodes)
// come back unchanged.
std::string ModernSplitValue(const std::string& value);

// Rewrites the legacy argument list (without the program name). Options that name tracks apply to
// the next source file, as in mkvmerge itself, and are mapped through `lookup` for that file.
MergeTranslation TranslateLegacyMergeArgs(const std::vector<std::string>& legacy,
                                          const TrackIdLookup& lookup);

}  // namespace standin
