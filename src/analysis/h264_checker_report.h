#pragma once
// The H.264 facts of x264_checker's report: profile, level, frame size in macroblocks and the
// frames the decoded picture buffer holds, for each sequence parameter set it describes.
#include <optional>
#include <string>

#include "analysis/media_facts.h"

namespace kestrun {
struct Context;

// The set with the largest buffer; nothing when the report describes none.
std::optional<H264Facts> ParseCheckerReport(const std::string& report);

// Runs x264_checker of the program folder on the source and parses its report.
std::optional<H264Facts> ReadH264Facts(Context& ctx, const std::string& source);

}  // namespace kestrun
