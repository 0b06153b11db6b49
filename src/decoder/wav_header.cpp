#include "decoder/wav_header.h"

#include <algorithm>
#include <array>

namespace kestrun {
namespace {

constexpr std::uint16_t kFormatPcm = 0x0001;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint32_t kPlainFmtSize = 16;
constexpr std::uint32_t kExtensibleFmtSize = 40;
constexpr std::uint16_t kExtensionSize = 22;
// KSDATAFORMAT_SUBTYPE_PCM: 00000001-0000-0010-8000-00aa00389b71, as stored in the file.
constexpr std::array<std::uint8_t, 16> kPcmSubFormat{
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

class LittleEndianBuffer {
public:
    void Tag(const char (&fourCc)[5]) { bytes_.insert(bytes_.end(), fourCc, fourCc + 4); }
    void U16(std::uint16_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value) {
        U16(static_cast<std::uint16_t>(value));
        U16(static_cast<std::uint16_t>(value >> 16));
    }
    void Bytes(const std::array<std::uint8_t, 16>& data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

std::uint32_t Capped(std::uint64_t size) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(size, kWavSizeUnknown));
}

}  // namespace

std::size_t WavHeaderSize(const WavFormat& format) {
    // "RIFF" size "WAVE", "fmt " size body, "data" size.
    return 12 + 8 + (format.UsesExtensible() ? kExtensibleFmtSize : kPlainFmtSize) + 8;
}

std::vector<std::uint8_t> MakeWavHeader(const WavFormat& format, std::uint64_t dataBytes) {
    const auto headerSize = WavHeaderSize(format);
    const auto blockAlign = static_cast<std::uint16_t>(format.BlockAlign());
    LittleEndianBuffer out;
    out.Tag("RIFF");
    out.U32(Capped(headerSize - 8 + dataBytes));
    out.Tag("WAVE");
    out.Tag("fmt ");
    if (format.UsesExtensible()) {
        out.U32(kExtensibleFmtSize);
        out.U16(kFormatExtensible);
    } else {
        out.U32(kPlainFmtSize);
        out.U16(kFormatPcm);
    }
    out.U16(static_cast<std::uint16_t>(format.channels));
    out.U32(static_cast<std::uint32_t>(format.sampleRate));
    out.U32(static_cast<std::uint32_t>(format.sampleRate) * blockAlign);
    out.U16(blockAlign);
    out.U16(kWavBitsPerSample);
    if (format.UsesExtensible()) {
        out.U16(kExtensionSize);
        out.U16(kWavBitsPerSample);  // valid bits per sample
        out.U32(format.channelMask);
        out.Bytes(kPcmSubFormat);
    }
    out.Tag("data");
    out.U32(Capped(dataBytes));
    return out.Take();
}

}  // namespace kestrun
