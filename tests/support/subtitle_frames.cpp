#include "support/subtitle_frames.h"

#include <algorithm>
#include <cstdlib>

#include "support/process.h"
#include "support/samples.h"

namespace kestrun::test {

GrayFrame FrameAt(const std::string& path, double seconds, bool withSubtitles,
                  const std::string& png) {
    const auto fields = ProbeFields(path, "v:0", "stream=width,height");
    GrayFrame frame;
    frame.width = std::atoi(fields.count("width") ? fields.at("width").c_str() : "0");
    frame.height = std::atoi(fields.count("height") ? fields.at("height").c_str() : "0");
    std::vector<std::string> args{"/usr/bin/ffmpeg", "-nostdin", "-v", "error", "-i", path};
    if (withSubtitles)
        args.insert(args.end(), {"-filter_complex", "[0:v][0:s:0]overlay"});
    else
        args.insert(args.end(), {"-map", "0:v:0"});
    args.insert(args.end(), {"-ss", std::to_string(seconds), "-frames:v", "1"});
    if (!png.empty()) {
        std::vector<std::string> picture = args;
        picture.insert(picture.end(), {"-y", png});
        RunProgram(picture);
    }
    args.insert(args.end(), {"-f", "rawvideo", "-pix_fmt", "gray", "-"});
    const ProgramRun run = RunProgram(args);
    if (run.exitCode != 0 || run.out.size() != size_t(frame.width) * frame.height) return {};
    frame.pixels.assign(run.out.begin(), run.out.end());
    return frame;
}

PixelBox DifferenceBox(const GrayFrame& a, const GrayFrame& b, int threshold) {
    PixelBox box{a.width, a.height, 0, 0};
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return {};
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const size_t i = size_t(y) * a.width + x;
            if (std::abs(int(a.pixels[i]) - int(b.pixels[i])) <= threshold) continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    return box;
}

}  // namespace kestrun::test
