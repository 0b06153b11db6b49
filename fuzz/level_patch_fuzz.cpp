// The in-place level patch of a raw H.264 stream in the MP4 chain: it changes level bytes 5.1 to
// 4.1 and nothing else.
#include <fstream>
#include <iterator>

#include "fuzz_support.h"
#include "pipeline/stages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kestrun::fuzz::WriteInput("movie.h264", data, size);
    kestrun::PatchSpsLevel(path);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> after((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (after.size() != size) std::abort();
    for (size_t i = 0; i < size; ++i)
        if (after[i] != data[i] && !(data[i] == 0x33 && after[i] == 0x29)) std::abort();
    return 0;
}
