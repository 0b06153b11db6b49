#pragma once
// Rewrites the sample aspect ratio in the VUI of an H.264 stream's sequence parameter sets, in
// the header block and in every frame that repeats them (FFmpeg's h264_metadata filter).
#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/rational.h>
}

namespace standin {

// A pixel aspect ratio given on a command line (":par=W:H", ":par=none").
struct PixelAspect {
    int width = 0;  // 0 with `remove`
    int height = 0;
    bool remove = false;  // ":par=none"
};

class SpsAspectFilter {
public:
    // `headerBlock`: the Annex B SPS and PPS units. Throws std::runtime_error when the filter
    // cannot be set up or rejects the headers.
    SpsAspectFilter(const std::vector<uint8_t>& headerBlock, AVRational sampleAspect);
    ~SpsAspectFilter();
    SpsAspectFilter(const SpsAspectFilter&) = delete;
    SpsAspectFilter& operator=(const SpsAspectFilter&) = delete;

    // The header block with the new aspect.
    std::vector<uint8_t> HeaderBlock() const;

    // Filters one frame in place. Throws std::runtime_error when the filter fails.
    void Filter(AVPacket& packet);

private:
    AVBSFContext* context_ = nullptr;
};

}  // namespace standin
