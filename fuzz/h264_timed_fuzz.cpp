// The raw H.264 frame reader of the MP4Box and tsMuxeR stand-ins: whatever the stream, it ends
// with frames whose recorded start codes are real, in display ranks a container can use, or with
// a runtime_error.
#include <cstdlib>
#include <stdexcept>

#include "fuzz_support.h"
#include "media/h264_timed_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using kestrun::media::h264::TimedFrame;
    using kestrun::media::h264::TimedFrameReader;
    const std::string path = kestrun::fuzz::WriteInput("movie.h264", data, size);
    try {
        TimedFrameReader reader(path);
        TimedFrame frame;
        int64_t frames = 0;
        while (reader.Next(frame)) {
            if (++frames > static_cast<int64_t>(size)) std::abort();  // a frame takes bytes
            if (frame.displayIndex < frame.decodeIndex - reader.ReorderDelay()) std::abort();
            for (uint32_t at : frame.startCodes) {
                if (at + 3 > frame.data.size()) std::abort();
                if (frame.data[at] != 0 || frame.data[at + 1] != 0 || frame.data[at + 2] != 1)
                    std::abort();
            }
        }
    } catch (const std::runtime_error&) {
    }
    return 0;
}
