#pragma once
#include <string>

namespace kestrun {
struct Context;

// Analyses an MKV source: runs mkvinfo, fills the analysis state and the window, runs the DPB
// check. Returns whether mkvinfo wrote a report (also kept in Analysis::bInfoReportRead).
bool ReadInfo(Context& ctx, const std::string& source);

// The checker's verdict for H.264 video whose decoded picture buffer the consoles cannot hold.
inline constexpr const char* kDpbFailedPhrase = "dpb check: [FAILED]";

// Runs x264_checker on the source; when it reports a failure, warns (outside batch, command-line
// and split runs) and sets "MPEG2 Recode".
void CheckDecodedPictureBuffer(Context& ctx, const std::string& source);

}  // namespace kestrun
