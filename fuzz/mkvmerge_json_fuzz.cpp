// mkvmerge's JSON identification, as the Matroska reader's report and the track-number lookup of
// the stand-ins read it.
#include "common/mkvmerge_tracks.h"
#include "fuzz_support.h"
#include "mkvinfo/identification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = kestrun::fuzz::Text(data, size);
    try {
        standin::mkvinfo::ReadIdentification(text);
    } catch (const standin::mkvinfo::IdentificationError&) {
    }
    const standin::TrackListing listing = standin::ParseTrackListing(text, "fuzz.mkv");
    for (long long number = 0; number < 4; ++number) standin::FindTrackByNumber(listing, number);
    standin::mkvinfo::ParseDimensions(text);
    return 0;
}
