#pragma once
// The files a conversion's result consists of: one file (MP4, ".mpg", VOB, AVI), the pieces of
// an AVI cut to fit the size limit ("NAME.avi", "NAME-2.avi", ...), or the clips an AVCHD
// folder's playlist names. What is missing from a folder or a playlist is a failed rule.
#include <string>
#include <vector>

#include "analysis/console_rules.h"

namespace kestrun {

struct ResultFiles {
    Target kind = Target::AsIs;      // Avchd: the clips of a folder, judged as AVCHD
    std::vector<std::string> files;  // in playing order; each exists
    std::vector<RuleResult> layout;  // the folder's playlist, or the AVI's pieces
};

// `aviPieces`: look for the further pieces of an AVI, as the window's split options make them.
ResultFiles FindResultFiles(const std::string& result, bool aviPieces);

}  // namespace kestrun
