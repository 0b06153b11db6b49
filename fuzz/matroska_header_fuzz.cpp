// The Matroska header reading of the audio decoder: the track entries and the declared size.
#include "chains/decoder/matroska_header.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kestrun::fuzz::WriteInput("source.mkv", data, size);
    const auto entries = kestrun::ReadMatroskaTrackEntries(path);
    kestrun::MatroskaDeclaredEnd(path);
    kestrun::CountDemuxedAudioTracks(entries);
    for (const auto& entry : entries) kestrun::DemuxedAudioOrdinal(entries, entry.number);
    return 0;
}
