#include "ts_packets.h"

extern "C" {
#include <libavutil/bswap.h>
#include <libavutil/crc.h>
}

#include <cstring>

namespace standin::ts {
namespace {

constexpr uint8_t kSync = 0x47;
constexpr uint16_t kPmtPid = 0x0100;

// Header of a packet that holds one whole section: payload start, no adaptation field.
void SectionPacketHeader(uint8_t* packet, uint16_t pid, uint8_t continuity) {
    std::memset(packet, 0xFF, kTsPacketSize);
    packet[0] = kSync;
    packet[1] = static_cast<uint8_t>(0x40 | (pid >> 8));
    packet[2] = static_cast<uint8_t>(pid);
    packet[3] = static_cast<uint8_t>(0x10 | (continuity & 0x0F));
    packet[4] = 0;  // pointer field
}

void AppendCrc(uint8_t* section, size_t sizeWithoutCrc) {
    const uint32_t crc = Crc32Mpeg(section, sizeWithoutCrc);
    for (int i = 0; i < 4; ++i)
        section[sizeWithoutCrc + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

}  // namespace

std::optional<TsPacketInfo> ReadTsPacket(const uint8_t* p) {
    if (p[0] != kSync) return std::nullopt;
    TsPacketInfo info;
    info.pid = static_cast<uint16_t>(((p[1] & 0x1F) << 8) | p[2]);
    info.payloadStart = (p[1] & 0x40) != 0;
    const uint8_t control = (p[3] >> 4) & 0x3;
    size_t offset = 4;
    if (control & 0x2) {
        const size_t length = p[4];
        if (length > 0 && length <= 183) {
            const uint8_t flags = p[5];
            info.randomAccess = (flags & 0x40) != 0;
            if ((flags & 0x10) && length >= 7) {
                const int64_t base = (int64_t{p[6]} << 25) | (int64_t{p[7]} << 17) |
                                     (int64_t{p[8]} << 9) | (int64_t{p[9]} << 1) | (p[10] >> 7);
                const int64_t extension = ((p[10] & 1) << 8) | p[11];
                info.pcr = base * 300 + extension;
            }
        }
        offset = 5 + length;
    }
    if ((control & 0x1) && offset < kTsPacketSize) info.payloadOffset = offset;
    return info;
}

std::optional<int64_t> PesPts(const uint8_t* d, size_t size) {
    if (size < 14 || d[0] != 0 || d[1] != 0 || d[2] != 1) return std::nullopt;
    if ((d[6] & 0xC0) != 0x80 || !(d[7] & 0x80)) return std::nullopt;
    return (int64_t{d[9] & 0x0E} << 29) | (int64_t{d[10]} << 22) | (int64_t{d[11] & 0xFE} << 14) |
           (int64_t{d[12]} << 7) | (d[13] >> 1);
}

uint32_t Crc32Mpeg(const uint8_t* data, size_t size) {
    // MPEG-2 sections' CRC: polynomial 0x04C11DB7, most significant bit first, no final xor;
    // libavutil's table keeps its bytes swapped.
    static const AVCRC* const table = av_crc_get_table(AV_CRC_32_IEEE);
    return av_bswap32(av_crc(table, 0xFFFFFFFF, data, size));
}

void MakePatPacket(uint8_t* packet, uint8_t continuity) {
    SectionPacketHeader(packet, kPatPid, continuity);
    uint8_t* s = packet + 5;
    const uint8_t section[] = {
        0x00,                        // table_id: PAT
        0xB0,           0x11,        // section length 17
        0x00,           0x00,        // transport_stream_id
        0xC1,           0x00, 0x00,  // version 0, current, section 0 of 0
        0x00,           0x00, 0xE0 | (kSitPid >> 8),
        kSitPid & 0xFF,  // program 0: network PID
        0x00,           0x01, 0xE0 | (kPmtPid >> 8),
        kPmtPid & 0xFF,  // program 1: PMT
    };
    std::memcpy(s, section, sizeof section);
    AppendCrc(s, sizeof section);
}

void MakeSitPacket(uint8_t* packet, uint8_t continuity) {
    SectionPacketHeader(packet, kSitPid, continuity);
    uint8_t* s = packet + 5;
    const uint8_t section[] = {
        0x7F,              // table_id: SIT
        0xF0, 0x19,        // section length 25
        0xFF, 0xFF,        // reserved for future use
        0xC1, 0x00, 0x00,  // version 0, current, section 0 of 0
        0xF0, 0x0A,        // transmission info loop: 10 bytes
        0x63, 0x08,        // partial transport stream descriptor
        0xC1, 0x5A, 0xAE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01,  // service 1
        0x80, 0x00,  // running status, no service descriptors
    };
    std::memcpy(s, section, sizeof section);
    AppendCrc(s, sizeof section);
}

void MakeNullPacket(uint8_t* packet) {
    std::memset(packet, 0xFF, kTsPacketSize);
    packet[0] = kSync;
    packet[1] = 0x1F;
    packet[2] = 0xFF;
    packet[3] = 0x10;
}

}  // namespace standin::ts
