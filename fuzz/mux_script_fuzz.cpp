// The muxing script of the AVI muxer.
#include "avimux/mux_script.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    standin::InterpretMuxScript(kestrun::fuzz::Text(data, size), "/nonexistent/scripts");
    return 0;
}
