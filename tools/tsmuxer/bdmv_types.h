#pragma once
// What the Blu-ray navigation files say about the muxed streams and clips.
#include <cstdint>
#include <string>
#include <vector>

namespace standin::ts {

// Version text of every navigation file: "0200" for a Blu-ray structure.
inline constexpr const char* kBdmvVersion = "0200";

// Blu-ray stream coding types.
enum CodingType : uint8_t {
    kCodingMpeg2Video = 0x02,
    kCodingH264 = 0x1B,
    kCodingVc1 = 0xEA,
    kCodingLpcm = 0x80,
    kCodingAc3 = 0x81,
    kCodingDts = 0x82,
    kCodingTrueHd = 0x83,
    kCodingEac3 = 0x84,
    kCodingDtsHdHra = 0x85,
    kCodingDtsHdMa = 0x86,
    kCodingPg = 0x90,
};

struct StreamAttributes {
    uint16_t pid = 0;
    uint8_t codingType = 0;
    bool video = false;
    bool pg = false;  // presentation graphics (subtitles)
    // Video: format (1 480i ... 6 1080p, 7 576p), frame rate code (1 23.976 ... 7 59.94),
    // aspect (2 4:3, 3 16:9).
    uint8_t videoFormat = 0, frameRate = 0, aspect = 3;
    // Audio: presentation (1 mono, 3 stereo, 6 multi-channel), sampling frequency (1 48 kHz,
    // 4 96 kHz, 5 192 kHz). Audio and PG: ISO 639-2 language.
    uint8_t presentation = 0, samplingFrequency = 0;
    std::string language = "und";
};

// A random access point of the video: the 33-bit 90 kHz PTS of a key frame and the source
// packet that holds the first byte of its PES packet.
struct EntryPoint {
    int64_t pts = 0;
    uint32_t spn = 0;
    uint8_t iEndClass = 1;  // size class of the key picture, 1 (< 128 KiB) to 7
};

struct ClipFacts {
    uint32_t sourcePackets = 0;  // file size / 192
    int64_t firstPts = 0;        // 90 kHz: the earliest PTS of any stream in the clip
    int64_t endPts = 0;          // 90 kHz: end of the last presented unit
    std::vector<EntryPoint> entryPoints;
};

// The size class of a key picture of `bytes` bytes, as written in an EP map.
uint8_t KeyPictureSizeClass(int64_t bytes);

}  // namespace standin::ts
