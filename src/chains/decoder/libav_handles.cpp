#include "chains/decoder/libav_handles.h"

namespace kestrun {

std::string LibavErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace kestrun
