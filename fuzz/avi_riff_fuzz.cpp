// The RIFF reading of AVI files: the stream headers and the walk over the media chunks.
#include "common/avi_riff.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    standin::BufferSource source(std::vector<uint8_t>(data, data + size));
    std::optional<size_t> video;
    try {
        video = standin::ReadAviHeaders(source).videoStream;
    } catch (const standin::AviError&) {
    }
    standin::AviChunkWalker walker(source);
    // Every chunk lies in the file, so a walk has at most one step per 8 bytes.
    size_t steps = 0;
    while (const auto chunk = walker.Next()) {
        if (++steps > size / 8 + 1) std::abort();
        standin::IsVideoChunkOf(*chunk, video.value_or(0));
        source.Read(chunk->offset, std::min<size_t>(chunk->size, 64));
    }
    try {
        standin::ParseHeaderList(std::vector<uint8_t>(data, data + size));
    } catch (const standin::AviError&) {
    }
    return 0;
}
