#pragma once
// The checker's console report: what each sequence parameter set declares, what level 4.1
// allows at its frame size, and the verdict as the last line, "dpb check: [FAILED]" or
// "dpb check: [OK]".
#include <string>
#include <vector>

#include "common/lib_names.h"
#include "media/h264_sps.h"

namespace standin {

inline constexpr const char* kDpbFailedLine = "dpb check: [FAILED]";
inline constexpr const char* kDpbOkLine = "dpb check: [OK]";

// The report lines for one SPS, each ended by '\n'.
std::string DescribeSps(const h264::SequenceParameterSet& sps);

// The whole report: every SPS described, then the verdict, which fails when any SPS exceeds
// the level 4.1 decoded picture buffer.
std::string DpbReport(const std::vector<h264::SequenceParameterSet>& sets);

}  // namespace standin
