#include "media/h264_level_patcher.h"

#include "media/byte_order.h"
#include "media/h264_nal.h"

namespace kestrun::media::h264 {

void SpsLevelPatcher::Step(uint8_t* data, size_t i, std::vector<LevelChange>* changes) {
    constexpr int kLevelOffset = 3;  // header, profile_idc, constraint flags, level_idc
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
                    if (changes) changes->push_back({position_ + i, byte});
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

void SpsLevelPatcher::Patch(uint8_t* data, size_t size, std::vector<LevelChange>* changes) {
    // Byte by byte wherever the state matters: the first two bytes (a start code may have begun
    // in the last chunk) and the few bytes after each start code. Between start codes the
    // memchr-based search skips ahead; it sees every 00 00 01 the byte steps would see.
    size_t i = 0;
    for (;;) {
        while (i < size && (i < 2 || nextIsHeader_ || spsBytesSeen_ >= 0)) Step(data, i++, changes);
        if (i >= size) break;
        const size_t header = AfterNextStartCode(data, size, i - 2);
        if (header >= size) {
            // No header in the rest; a start code may still end in its last byte, and the zeros
            // at its end may begin the next chunk's.
            nextIsHeader_ = data[size - 3] == 0 && data[size - 2] == 0 && data[size - 1] == 1;
            zeros_ = data[size - 1] != 0 ? 0 : data[size - 2] != 0 ? 1 : 2;
            break;
        }
        nextIsHeader_ = true;
        zeros_ = 0;  // the 01 just before the header
        i = header;
    }
    position_ += size;
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

// level_idc of every sequence parameter set: in an avcC record, and in NAL units with
// `lengthSize`-byte length prefixes. Nothing else changes.
void SetAvccLevel(uint8_t* data, size_t size, uint8_t level) {
    if (size < 7 || data[0] != 1) return;
    data[3] = level;
    size_t pos = 6;
    for (int i = 0, count = data[5] & 0x1F; i < count && pos + 2 <= size; ++i) {
        const size_t length = ReadBe16(data + pos);
        if (pos + 2 + length > size) return;
        if (length >= 4) data[pos + 2 + 3] = level;
        pos += 2 + length;
    }
}

void SetLengthPrefixedSpsLevel(uint8_t* data, size_t size, int lengthSize, uint8_t level) {
    size_t pos = 0;
    while (pos + lengthSize <= size) {
        size_t length = 0;
        for (int i = 0; i < lengthSize; ++i) length = (length << 8) | data[pos + i];
        pos += lengthSize;
        if (length > size - pos) return;
        if (length >= 4 && NalTypeOf(data[pos]) == kNalSps) data[pos + 3] = level;
        pos += length;
    }
}

}  // namespace kestrun::media::h264
