#pragma once
// What the encoder needs to know of its input before it starts: length, picture size and the
// first audio track's rate.
#include <string>

namespace standin {

struct MediaFacts {
    double seconds = 0;
    int width = 0, height = 0;
    long long audioKbit = 0;  // first audio track, 0 when none or unknown
    std::string error;        // non-empty when the file cannot be read as media
};

MediaFacts ProbeMedia(const std::string& path);

}  // namespace standin
