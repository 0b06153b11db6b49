#include "media/h264_level_patcher.h"

#include "media/h264_nal.h"

namespace kestrun::media::h264 {

void SpsLevelPatcher::Patch(uint8_t* data, size_t size) {
    constexpr int kLevelOffset = 3;  // header, profile_idc, constraint flags, level_idc
    for (size_t i = 0; i < size; ++i) {
        uint8_t& byte = data[i];
        if (spsBytesSeen_ >= 0) {
            ++spsBytesSeen_;
            if (spsBytesSeen_ == 1 && byte == 0) {
                spsBytesSeen_ = -1;  // no profile is 0: a damaged unit, not an SPS header
            } else if (spsBytesSeen_ == kLevelOffset) {
                spsBytesSeen_ = -1;
                if (byte != 0) {
                    ++spsCount_;
                    if (byte != level_) {
                        byte = level_;
                        ++changedCount_;
                    }
                }
            }
        } else if (nextIsHeader_) {
            nextIsHeader_ = false;
            if (NalTypeOf(byte) == kNalSps && (byte & 0x80) == 0) spsBytesSeen_ = 0;
        }
        if (byte == 1 && zeros_ >= 2) nextIsHeader_ = true;
        zeros_ = byte == 0 ? (zeros_ < 2 ? zeros_ + 1 : 2) : 0;
    }
}

}  // namespace kestrun::media::h264
