// The result check's walk over the top-level boxes of an MP4.
#include "analysis/result_integrity.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrun::CutShortProblem(kestrun::fuzz::WriteInput("result.mp4", data, size));
    return 0;
}
