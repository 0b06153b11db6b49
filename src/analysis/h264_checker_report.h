#pragma once
// The H.264 facts a console rule judges: profile, level, frame size in macroblocks and the frames
// the decoded picture buffer holds, read from the source's parameter sets or from x264_checker's
// report, which describes each set alike.
#include <optional>
#include <string>

#include "analysis/media_facts.h"

namespace kestrun {

// The set with the largest buffer; nothing when the report describes none.
std::optional<H264Facts> ParseCheckerReport(const std::string& report);

// The set with the largest buffer among the sequence parameter sets of the source's first H.264
// track; nothing when it has none that can be read.
std::optional<H264Facts> ReadH264Facts(const std::string& source);

}  // namespace kestrun
