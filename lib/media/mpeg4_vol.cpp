#include "media/mpeg4_vol.h"

#include "media/bit_reader.h"

namespace kestrun::media::mpeg4 {

namespace {

constexpr int kExtendedPar = 15;
constexpr int kQuantMatrixSize = 64;
constexpr int kVbvParameterBits = 79;
constexpr int kStaticSpriteGeometryBits = 56;

void ExpectMarker(BitReader& bits, const char* where) {
    if (!bits.ReadFlag())
        throw Mpeg4Error(std::string("missing marker bit in the VOL header (") + where + ")");
}

// A quantiser matrix in zigzag order; a 0 ends the list early.
void SkipQuantMatrix(BitReader& bits) {
    for (int i = 0; i < kQuantMatrixSize; ++i) {
        if (bits.ReadBits(8) == 0) break;
    }
}

void ReadSpriteFields(BitReader& bits, VolHeader& vol) {
    if (vol.sprite == SpriteMode::Static) bits.SkipBits(kStaticSpriteGeometryBits);
    vol.warpingPoints = static_cast<int>(bits.ReadBits(6));
    bits.SkipBits(2 + 1);  // sprite_warping_accuracy, sprite_brightness_change
    if (vol.sprite == SpriteMode::Static) bits.SkipBits(1);  // low_latency_sprite_enable
}

void ReadQuantisation(BitReader& bits, VolHeader& vol) {
    vol.mpegQuant = bits.ReadFlag();
    if (!vol.mpegQuant) return;
    vol.customIntraMatrix = bits.ReadFlag();
    if (vol.customIntraMatrix) SkipQuantMatrix(bits);
    vol.customInterMatrix = bits.ReadFlag();
    if (vol.customInterMatrix) SkipQuantMatrix(bits);
}

// From video_object_layer_shape's successor fields to quarter_sample, for shapes other than
// binary-only.
void ReadPictureCoding(BitReader& bits, VolHeader& vol) {
    if (vol.shape == Shape::Rectangular) {
        ExpectMarker(bits, "before width");
        vol.width = static_cast<int>(bits.ReadBits(13));
        ExpectMarker(bits, "before height");
        vol.height = static_cast<int>(bits.ReadBits(13));
        ExpectMarker(bits, "after height");
    }
    vol.interlaced = bits.ReadFlag();
    bits.SkipBits(1);  // obmc_disable
    vol.sprite = static_cast<SpriteMode>(bits.ReadBits(vol.verid == 1 ? 1 : 2));
    if (vol.sprite == SpriteMode::Static || vol.sprite == SpriteMode::Gmc)
        ReadSpriteFields(bits, vol);
    if (vol.verid != 1 && vol.shape != Shape::Rectangular) bits.SkipBits(1);  // sadct_disable
    if (bits.ReadFlag())                                                      // not_8_bit
        bits.SkipBits(4 + 4);
    ReadQuantisation(bits, vol);
    if (vol.verid != 1) vol.quarterSample = bits.ReadFlag();
}

}  // namespace

std::optional<StartCode> FindStartCode(const uint8_t* data, size_t size, size_t from) {
    for (size_t i = from; i + 3 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return StartCode{i, data[i + 3]};
    }
    return std::nullopt;
}

int ReadVisualObjectVerid(const uint8_t* payload, size_t size) {
    BitReader bits(payload, size);
    if (bits.BitsLeft() == 0 || !bits.ReadFlag())  // is_visual_object_identifier
        return 1;
    return static_cast<int>(bits.ReadBits(4));
}

int TimeIncrementBits(uint32_t resolution) {
    int bits = 1;
    while (bits < 32 && (uint64_t{1} << bits) < resolution) ++bits;
    return bits;
}

VolHeader ParseVolHeader(const uint8_t* payload, size_t size, int visualObjectVerid) {
    BitReader bits(payload, size);
    VolHeader vol;
    vol.verid = visualObjectVerid;
    bits.SkipBits(1);  // random_accessible_vol
    vol.objectTypeIndication = static_cast<int>(bits.ReadBits(8));
    if (bits.ReadFlag()) {  // is_object_layer_identifier
        vol.verid = static_cast<int>(bits.ReadBits(4));
        bits.SkipBits(3);  // video_object_layer_priority
    }
    vol.aspectRatioInfo = static_cast<int>(bits.ReadBits(4));
    if (vol.aspectRatioInfo == kExtendedPar) {
        vol.parWidth = static_cast<int>(bits.ReadBits(8));
        vol.parHeight = static_cast<int>(bits.ReadBits(8));
    }
    if (bits.ReadFlag()) {     // vol_control_parameters
        bits.SkipBits(2 + 1);  // chroma_format, low_delay
        if (bits.ReadFlag())   // vbv_parameters
            bits.SkipBits(kVbvParameterBits);
    }
    vol.shape = static_cast<Shape>(bits.ReadBits(2));
    if (vol.shape == Shape::Grayscale)
        throw Mpeg4Error("grayscale video object layers are not supported");
    ExpectMarker(bits, "before time resolution");
    vol.timeIncrementResolution = bits.ReadBits(16);
    if (vol.timeIncrementResolution == 0)
        throw Mpeg4Error("the VOL header gives a time resolution of 0");
    vol.timeIncrementBits = TimeIncrementBits(vol.timeIncrementResolution);
    ExpectMarker(bits, "after time resolution");
    if (bits.ReadFlag())  // fixed_vop_rate
        bits.SkipBits(static_cast<size_t>(vol.timeIncrementBits));
    if (vol.shape != Shape::BinaryOnly) ReadPictureCoding(bits, vol);
    return vol;
}

VopType ParseVopType(const uint8_t* payload, size_t size, const VolHeader& vol) {
    BitReader bits(payload, size);
    const uint32_t codingType = bits.ReadBits(2);
    while (bits.ReadFlag()) {  // modulo_time_base
    }
    bits.SkipBits(1);  // marker
    bits.SkipBits(static_cast<size_t>(vol.timeIncrementBits));
    bits.SkipBits(1);  // marker
    if (!bits.ReadFlag()) return VopType::NotCoded;
    switch (codingType) {
        case 0:
            return VopType::I;
        case 1:
            return VopType::P;
        case 2:
            return VopType::B;
        default:
            return VopType::S;
    }
}

std::string ReadUserData(const uint8_t* payload, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        if (i + 2 < size && payload[i] == 0 && payload[i + 1] == 0 && payload[i + 2] == 1) break;
        if (payload[i] >= 0x20 && payload[i] < 0x7F) text += static_cast<char>(payload[i]);
    }
    return text;
}

std::optional<VolFlags> ReadVolFlags(const uint8_t* data, size_t size) {
    int verid = 1;
    for (auto code = FindStartCode(data, size, 0); code;
         code = FindStartCode(data, size, code->offset + 3)) {
        const uint8_t* payload = data + code->PayloadOffset();
        const size_t left = size - code->PayloadOffset();
        try {
            if (code->code == kVisualObject) {
                verid = ReadVisualObjectVerid(payload, left);
            } else if (IsVolStartCode(code->code)) {
                const VolHeader vol = ParseVolHeader(payload, left, verid);
                return VolFlags{vol.sprite == SpriteMode::Gmc, vol.quarterSample};
            }
        } catch (const std::exception&) {  // cut short, or a header this reader cannot follow
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace kestrun::media::mpeg4
