// The RIFF reading of AVI files: the stream headers and the walk over the media chunks.
#include "fuzz_support.h"
#include "media/avi_riff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrun::media::BufferSource source(std::vector<uint8_t>(data, data + size));
    std::optional<size_t> video;
    try {
        video = kestrun::media::ReadAviHeaders(source).videoStream;
    } catch (const kestrun::media::AviError&) {
    }
    kestrun::media::AviChunkWalker walker(source);
    // Every chunk lies in the file, so a walk has at most one step per 8 bytes.
    size_t steps = 0;
    while (const auto chunk = walker.Next()) {
        if (++steps > size / 8 + 1) std::abort();
        kestrun::media::IsVideoChunkOf(*chunk, video.value_or(0));
        source.Read(chunk->offset, std::min<size_t>(chunk->size, 64));
    }
    try {
        kestrun::media::ParseHeaderList(std::vector<uint8_t>(data, data + size));
    } catch (const kestrun::media::AviError&) {
    }
    return 0;
}
