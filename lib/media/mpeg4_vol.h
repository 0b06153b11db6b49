#pragma once
// MPEG-4 Part 2 (ISO/IEC 14496-2) header reading: start codes, the visual object header, the video
// object layer (VOL) up to quarter_sample, and the coding type of a VOP. Functions take the bytes
// that follow a start code; a header cut short throws std::out_of_range (from the bit reader).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrun::media::mpeg4 {

class Mpeg4Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Start code values (the byte after 00 00 01).
constexpr uint8_t kVideoObjectLayerFirst = 0x20;
constexpr uint8_t kVideoObjectLayerLast = 0x2F;
constexpr uint8_t kVisualObjectSequence = 0xB0;
constexpr uint8_t kUserData = 0xB2;
constexpr uint8_t kVisualObject = 0xB5;
constexpr uint8_t kVop = 0xB6;

inline bool IsVolStartCode(uint8_t code) {
    return code >= kVideoObjectLayerFirst && code <= kVideoObjectLayerLast;
}

struct StartCode {
    size_t offset = 0;  // of the 00 00 01 prefix
    uint8_t code = 0;
    size_t PayloadOffset() const { return offset + 4; }
};

// The first start code at or after `from`.
std::optional<StartCode> FindStartCode(const uint8_t* data, size_t size, size_t from);

// visual_object_verid of a visual object header (1 when the header does not give one).
int ReadVisualObjectVerid(const uint8_t* payload, size_t size);

enum class Shape { Rectangular = 0, Binary = 1, BinaryOnly = 2, Grayscale = 3 };

enum class SpriteMode { None = 0, Static = 1, Gmc = 2, Reserved = 3 };

struct VolHeader {
    int verid = 1;
    int objectTypeIndication = 0;
    int aspectRatioInfo = 1;
    int parWidth = 0, parHeight = 0;
    Shape shape = Shape::Rectangular;
    uint32_t timeIncrementResolution = 0;
    int timeIncrementBits = 1;
    int width = 0, height = 0;
    bool interlaced = false;
    SpriteMode sprite = SpriteMode::None;
    int warpingPoints = 0;
    bool mpegQuant = false;
    bool customIntraMatrix = false, customInterMatrix = false;
    bool quarterSample = false;
};

// Parses a VOL header. `visualObjectVerid` applies when the layer gives no verid of its own.
// Throws Mpeg4Error for a header this reader cannot follow (grayscale shape, a zero time
// resolution) and std::out_of_range when the data ends early.
VolHeader ParseVolHeader(const uint8_t* payload, size_t size, int visualObjectVerid = 1);

enum class VopType { I, P, B, S, NotCoded };

// The coding type of a VOP; NotCoded when vop_coded is 0.
VopType ParseVopType(const uint8_t* payload, size_t size, const VolHeader& vol);

// Printable text of a user data payload (up to the next start code).
std::string ReadUserData(const uint8_t* payload, size_t size);

// Global motion compensation and quarter-pixel motion: the two coding tools the consoles'
// decoders may refuse.
struct VolFlags {
    bool gmc = false;
    bool qpel = false;
};

// Searches `data` (a codec's extra data or a frame) for the first video object layer header;
// nothing when there is none or it is cut short or of a shape this reader does not follow.
std::optional<VolFlags> ReadVolFlags(const uint8_t* data, size_t size);

// Bits needed to code values 0 .. resolution - 1 (at least 1).
int TimeIncrementBits(uint32_t resolution);

}  // namespace kestrun::media::mpeg4
