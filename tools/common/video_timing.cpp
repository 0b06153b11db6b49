#include "common/video_timing.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace standin {
namespace {

constexpr double kMaxFrameRate = 1000.0;

bool ParseWhole(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

}  // namespace

VideoTiming TimingForFrameRate(const std::string& text) {
    const std::invalid_argument bad("bad frame rate \"" + text + "\"");
    const size_t dash = text.find('-');
    if (dash != std::string::npos && dash > 0) {
        double timescale = 0, duration = 0;
        if (!ParseWhole(text.substr(0, dash), timescale) ||
            !ParseWhole(text.substr(dash + 1), duration) || timescale < 1 || duration < 1 ||
            timescale > 1e9 || duration > 1e9)
            throw bad;
        return VideoTiming{static_cast<int>(timescale), static_cast<int>(duration)};
    }
    double fps = 0;
    if (!ParseWhole(text, fps) || fps <= 0 || fps > kMaxFrameRate) throw bad;
    const long milli = std::lround(fps * 1000);
    if (milli == 23976) return VideoTiming{24000, 1001};
    if (milli == 29970) return VideoTiming{30000, 1001};
    if (milli == 59940) return VideoTiming{60000, 1001};
    if (milli < 1) throw bad;
    return VideoTiming{static_cast<int>(milli), 1000};
}

}  // namespace standin
