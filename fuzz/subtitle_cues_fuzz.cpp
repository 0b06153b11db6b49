// The subtitle texts of the transport-stream muxer: an SRT file, an SSA/ASS event, a packet of a
// Matroska text track.
#include <stdexcept>

#include "fuzz_support.h"
#include "tsmuxer/subtitle_cues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = kestrun::fuzz::Text(data, size);
    try {
        standin::ts::ParseSrt(text, "fuzz.srt");
    } catch (const std::invalid_argument&) {
    }
    standin::ts::PlainAssText(text);
    try {
        standin::ts::TextTrackCueText(text, false);
        standin::ts::TextTrackCueText(text, true);
    } catch (const std::length_error&) {
    }
    // A file: SRT read here, SSA/ASS through FFmpeg's reader.
    try {
        standin::ts::ReadSubtitleCues(kestrun::fuzz::WriteInput("cues.srt", data, size), 0);
    } catch (const std::exception&) {
    }
    return 0;
}
