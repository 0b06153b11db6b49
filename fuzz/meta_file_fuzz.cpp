// The meta file of the transport-stream muxer, with what its subtitle lines set.
#include <stdexcept>

#include "fuzz_support.h"
#include "tsmuxer/meta_file.h"
#include "tsmuxer/pg_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = kestrun::fuzz::Text(data, size);
    try {
        const standin::ts::MetaFile meta = standin::ts::ParseMetaFile(text);
        for (const standin::ts::MetaTrack& track : meta.tracks) {
            if (!track.IsSubtitle()) continue;
            try {
                standin::ts::StyleOfLine(track);
            } catch (const std::runtime_error&) {
            }
            standin::ts::PgFrameRateCode(track.Param("fps").value_or(""));
        }
    } catch (const std::invalid_argument&) {
    }
    try {
        standin::ts::ParseSplitSize(text);
    } catch (const std::invalid_argument&) {
    }
    return 0;
}
