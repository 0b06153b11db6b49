#pragma once
// The chapters of the Matroska file the meta file's track lines name, for the playlist's marks.
#include <cstdint>
#include <vector>

#include "meta_file.h"

namespace standin::ts {

// The chapter starts, in 45 kHz ticks of playing time (the MKV's first video frame at 0), in
// order, of the first Matroska file named on a track line that has chapters; empty when none
// does. A file FFmpeg cannot read is left to the muxing to report.
std::vector<int64_t> SourceChapterStarts(const MetaFile& meta);

}  // namespace standin::ts
