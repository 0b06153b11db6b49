#pragma once
// The frame timing of an imported raw video stream, as MP4Box has always derived it from a frame
// rate text: 23.976, 29.97 and 59.94 become the exact NTSC rates (24000/1001, 30000/1001,
// 60000/1001); any other rate R becomes a timescale of R x 1000 with frames 1000 ticks long;
// "X-Y" gives timescale X and frame duration Y directly.
#include <string>

namespace standin {

struct VideoTiming {
    int timescale = 25000;
    int frameDuration = 1000;
};

// Throws std::invalid_argument for a text that is no positive frame rate.
VideoTiming TimingForFrameRate(const std::string& text);

}  // namespace standin
