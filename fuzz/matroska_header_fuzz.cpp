// The Matroska header reading of the audio decoder: the track entries and the declared size.
#include "fuzz_support.h"
#include "media/matroska_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kestrun::fuzz::WriteInput("source.mkv", data, size);
    const auto entries = kestrun::media::ReadMatroskaTrackEntries(path);
    kestrun::media::MatroskaDeclaredEnd(path);
    kestrun::media::CountDemuxedAudioTracks(entries);
    for (const auto& entry : entries) kestrun::media::DemuxedAudioOrdinal(entries, entry.number);
    return 0;
}
