// The clips of a Blu-ray or AVCHD playlist, as the result check reads them.
#include "analysis/bdmv_playlist.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    kestrun::PlaylistClips(kestrun::fuzz::Text(data, size), &error);
    return 0;
}
