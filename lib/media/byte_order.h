#pragma once
// Whole numbers in the byte order a file format gives them, on libavutil's readers and writers.
#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace kestrun::media {

inline std::uint16_t ReadBe16(const std::uint8_t* p) { return AV_RB16(p); }
inline std::uint32_t ReadBe24(const std::uint8_t* p) { return AV_RB24(p); }
inline std::uint32_t ReadBe32(const std::uint8_t* p) { return AV_RB32(p); }
inline std::uint64_t ReadBe64(const std::uint8_t* p) { return AV_RB64(p); }
inline std::uint16_t ReadLe16(const std::uint8_t* p) { return AV_RL16(p); }
inline std::uint32_t ReadLe32(const std::uint8_t* p) { return AV_RL32(p); }

inline void WriteBe16(std::uint8_t* p, std::uint16_t value) { AV_WB16(p, value); }
inline void WriteBe32(std::uint8_t* p, std::uint32_t value) { AV_WB32(p, value); }

// The `count` bytes at `bytes` (1, 2, 3, 4 or 8; anything else reads as 0) as one big-endian
// number: the size fields of MP4 boxes and Blu-ray navigation files.
inline std::uint64_t ReadBe(const std::uint8_t* bytes, std::size_t count) {
    switch (count) {
        case 1:
            return bytes[0];
        case 2:
            return ReadBe16(bytes);
        case 3:
            return ReadBe24(bytes);
        case 4:
            return ReadBe32(bytes);
        case 8:
            return ReadBe64(bytes);
        default:
            return 0;
    }
}

}  // namespace kestrun::media
