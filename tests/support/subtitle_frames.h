#pragma once
// Frames of a film as FFmpeg shows them with and without its subtitle stream drawn over the
// picture, and where two frames differ.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrun::test {

struct GrayFrame {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // luma, row by row
};

// The frame at `seconds` from the file's start; with `withSubtitles` the first subtitle stream is
// overlaid. With `png` the frame is also kept there as a picture. Empty when FFmpeg fails.
GrayFrame FrameAt(const std::string& path, double seconds, bool withSubtitles,
                  const std::string& png = {});

// The smallest box holding every pixel whose luma differs by more than `threshold`.
struct PixelBox {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    bool Empty() const { return right <= left || bottom <= top; }
};
PixelBox DifferenceBox(const GrayFrame& a, const GrayFrame& b, int threshold = 40);

}  // namespace kestrun::test
