#pragma once
#include <string>

namespace kestrun {
struct Context;

// Analyses an MKV source: runs mkvinfo, fills the analysis state and the window, runs the DPB
// check. Returns whether mkvinfo wrote a report (also kept in Analysis::bInfoReportRead).
bool ReadInfo(Context& ctx, const std::string& source);

// Whether the 25 fps output speeds a film of frame rate `fps` (as the window shows it) up: only
// a known rate below 25 (23.976, 24); at 25 fps and above it would slow the film down.
bool SpeedsUpTo25Fps(const std::string& fps);

// The checker's verdict for H.264 video whose decoded picture buffer the consoles cannot hold.
inline constexpr const char* kDpbFailedPhrase = "dpb check: [FAILED]";

// Runs x264_checker on the source; when it reports a failure, warns (outside batch, command-line
// and split runs) and sets "MPEG2 Recode".
void CheckDecodedPictureBuffer(Context& ctx, const std::string& source);

}  // namespace kestrun
