#pragma once
// Reading and making single MPEG transport stream packets (188 bytes) of a Blu-ray stream.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace standin::ts {

inline constexpr size_t kTsPacketSize = 188;
inline constexpr size_t kSourcePacketSize = 192;   // 4-byte arrival time stamp + TS packet
inline constexpr size_t kAlignedUnitPackets = 32;  // 6144 bytes
inline constexpr uint16_t kPatPid = 0x0000;
inline constexpr uint16_t kSdtPid = 0x0011;
inline constexpr uint16_t kSitPid = 0x001F;
inline constexpr uint16_t kNullPid = 0x1FFF;
inline constexpr uint16_t kVideoPid = 0x1011;
inline constexpr uint16_t kFirstAudioPid = 0x1100;
inline constexpr uint16_t kFirstPgPid = 0x1200;
inline bool IsPgPid(uint16_t pid) { return pid >= kFirstPgPid && pid < kFirstPgPid + 32; }
inline constexpr int64_t kArrivalClockWrap = int64_t{1} << 30;

struct TsPacketInfo {
    uint16_t pid = kNullPid;
    bool payloadStart = false;
    bool randomAccess = false;             // adaptation field random_access_indicator
    std::optional<int64_t> pcr;            // 27 MHz
    size_t payloadOffset = kTsPacketSize;  // first payload byte; kTsPacketSize when none
};

// `packet` is 188 bytes starting with the sync byte; nullopt when the sync byte is wrong.
std::optional<TsPacketInfo> ReadTsPacket(const uint8_t* packet);

// The PTS (90 kHz) of a PES packet header at the start of a payload, when it carries one.
std::optional<int64_t> PesPts(const uint8_t* payload, size_t size);

uint32_t Crc32Mpeg(const uint8_t* data, size_t size);

// A PAT listing program 0 (network: the SIT's PID) and program 1 (the PMT at 0x0100).
void MakePatPacket(uint8_t* packet, uint8_t continuity);
// A Selection Information Table naming service 1, as Blu-ray streams carry it.
void MakeSitPacket(uint8_t* packet, uint8_t continuity);
void MakeNullPacket(uint8_t* packet);

}  // namespace standin::ts
