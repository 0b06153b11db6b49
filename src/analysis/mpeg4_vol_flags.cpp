#include "analysis/mpeg4_vol_flags.h"

#include <stdexcept>

namespace kestrun {
namespace {

class Bits {
public:
    Bits(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint32_t Read(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++pos_) {
            if (pos_ / 8 >= size_) throw std::out_of_range("header cut short");
            value = (value << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1);
        }
        return value;
    }
    bool Flag() { return Read(1) != 0; }
    void Skip(int count) { Read(count); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

constexpr uint8_t kVisualObject = 0xB5;
constexpr uint8_t kVolFirst = 0x20, kVolLast = 0x2F;
constexpr int kRectangular = 0, kBinaryOnly = 2, kGrayscale = 3;
constexpr int kStaticSprite = 1, kGmcSprite = 2;

int TimeIncrementBits(uint32_t resolution) {
    int bits = 1;
    while (bits < 32 && (uint64_t{1} << bits) < resolution) ++bits;
    return bits;
}

void SkipQuantMatrix(Bits& bits) {
    for (int i = 0; i < 64; ++i)
        if (bits.Read(8) == 0) break;
}

// The VOL header's fields up to quarter_sample (ISO/IEC 14496-2, 6.2.3).
std::optional<Mpeg4VolFlags> ParseVol(Bits bits, int verid) {
    bits.Skip(1 + 8);  // random_accessible_vol, video_object_type_indication
    if (bits.Flag()) verid = static_cast<int>(bits.Read(4)), bits.Skip(3);
    if (bits.Read(4) == 15) bits.Skip(16);  // extended pixel aspect ratio
    if (bits.Flag()) {                      // vol_control_parameters
        bits.Skip(3);
        if (bits.Flag()) bits.Skip(79);  // vbv_parameters
    }
    const int shape = static_cast<int>(bits.Read(2));
    if (shape == kGrayscale) return std::nullopt;
    bits.Skip(1);
    const uint32_t resolution = bits.Read(16);
    if (resolution == 0) return std::nullopt;
    bits.Skip(1);
    if (bits.Flag()) bits.Skip(TimeIncrementBits(resolution));  // fixed_vop_rate
    if (shape == kBinaryOnly) return Mpeg4VolFlags{};
    if (shape == kRectangular) bits.Skip(1 + 13 + 1 + 13 + 1);  // width and height
    bits.Skip(2);                                               // interlaced, obmc_disable
    const int sprite = static_cast<int>(bits.Read(verid == 1 ? 1 : 2));
    Mpeg4VolFlags flags;
    flags.gmc = sprite == kGmcSprite;
    if (sprite == kStaticSprite || sprite == kGmcSprite) {
        if (sprite == kStaticSprite) bits.Skip(56);
        bits.Skip(6 + 2 + 1);
        if (sprite == kStaticSprite) bits.Skip(1);
    }
    if (verid != 1 && shape != kRectangular) bits.Skip(1);
    if (bits.Flag()) bits.Skip(8);  // not_8_bit
    if (bits.Flag()) {              // quant_type
        if (bits.Flag()) SkipQuantMatrix(bits);
        if (bits.Flag()) SkipQuantMatrix(bits);
    }
    if (verid != 1) flags.qpel = bits.Flag();
    return flags;
}

}  // namespace

std::optional<Mpeg4VolFlags> ReadMpeg4VolFlags(const uint8_t* data, size_t size) {
    int verid = 1;
    for (size_t i = 0; i + 4 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        const uint8_t code = data[i + 3];
        const uint8_t* payload = data + i + 4;
        const size_t left = size - i - 4;
        try {
            if (code == kVisualObject) {
                Bits bits(payload, left);
                if (bits.Flag()) verid = static_cast<int>(bits.Read(4));
            } else if (code >= kVolFirst && code <= kVolLast) {
                return ParseVol(Bits(payload, left), verid);
            }
        } catch (const std::out_of_range&) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace kestrun
