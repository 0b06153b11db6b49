#pragma once
// What the encoder needs to know of its input before it starts: length, picture size, the first
// audio track's rate, and where its timeline starts.
#include <string>

namespace standin {

struct MediaFacts {
    double seconds = 0;
    int width = 0, height = 0;
    long long audioKbit = 0;  // first audio track, 0 when none or unknown
    long long startUs = 0;    // the first timestamp, in microseconds (0 when unknown)
    std::string error;        // non-empty when the file cannot be read as media
};

MediaFacts ProbeMedia(const std::string& path);

// A subtitle file read on its own (a .sup, or a VobSub .idx with its .sub): where its timeline
// starts, or a message when it holds no subtitle stream.
struct SubtitleFacts {
    long long startUs = 0;
    int width = 0, height = 0;  // the canvas the pictures are placed on, 0 when not given
    std::string error;
};
SubtitleFacts ProbeSubtitles(const std::string& path);

}  // namespace standin
