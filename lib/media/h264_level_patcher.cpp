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

std::vector<bool> SpsPayloadMask(const uint8_t* data, size_t size) {
    std::vector<bool> inSps(size, false);
    bool sps = false;
    for (size_t i = 0; i < size; ++i) {
        if (i + 2 < size && data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            sps = i + 3 < size && NalTypeOf(data[i + 3]) == kNalSps;
            i += 3;  // the start code and the unit's header byte
            continue;
        }
        inSps[i] = sps;
    }
    return inSps;
}

}  // namespace kestrun::media::h264
