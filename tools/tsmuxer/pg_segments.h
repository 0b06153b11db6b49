#pragma once
// Blu-ray presentation graphics (PG) segments for subtitles: a picture of palette indexes, run
// length coded, shown by a display set
//   PCS (composition) + WDS (window) + PDS (palette) + ODS (object, in fragments) + END
// and taken down by PCS (no object) + WDS + END.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin::ts {

enum PgSegmentType : uint8_t {
    kPgPalette = 0x14,
    kPgObject = 0x15,
    kPgComposition = 0x16,
    kPgWindow = 0x17,
    kPgEnd = 0x80,
};

struct PgSegment {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
    // type (1), length (2), payload: as it stands in a PES packet.
    std::vector<uint8_t> Bytes() const;
};

struct PgPaletteEntry {
    uint8_t index = 0, y = 16, cr = 128, cb = 128, alpha = 0;
};

// A picture of palette indexes, row by row; index 0 is transparent by convention.
struct PgPicture {
    int x = 0, y = 0;  // place in the video frame
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // width * height
};

// Run-length codes the picture: every row ends with 00 00.
std::vector<uint8_t> PgRunLength(const PgPicture& picture);

// Segments of object data beyond this payload size go to the next fragment.
inline constexpr size_t kPgMaxSegmentPayload = 65519;

struct PgComposition {
    int videoWidth = 0, videoHeight = 0;
    uint8_t frameRateCode = 1;  // 1 23.976, 2 24, 3 25, 4 29.97, 6 50, 7 59.94
    uint16_t number = 0;        // one more for every display set
};

// The display set that shows `picture` with `palette` (an epoch start: the whole screen anew).
std::vector<PgSegment> PgShowSet(const PgComposition& composition, const PgPicture& picture,
                                 const std::vector<PgPaletteEntry>& palette);
// The display set that clears what the set before showed in `window`.
std::vector<PgSegment> PgClearSet(const PgComposition& composition, const PgPicture& window);

}  // namespace standin::ts
