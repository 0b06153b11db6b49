#pragma once
// Whether a console's video decoder takes a source's video as it is: H.264 up to High profile
// with 8-bit 4:2:0 pictures, MPEG-1 and MPEG-2, VC-1 and MPEG-4 Part 2. Everything else (HEVC,
// AV1, VP9, 10-bit or 4:2:2/4:4:4 H.264, ...) plays only after a re-encode.
#include <string>

#include "media/stream_facts.h"

namespace kestrun {

// Why no console decodes the video, as the messages name it ("HEVC", "10-bit H.264",
// "4:2:2 H.264", "H.264 High 4:4:4 Predictive"); empty when one does.
std::string VideoRecodeReason(const media::VideoStreamFacts& video);

}  // namespace kestrun
