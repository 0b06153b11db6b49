#include "pg_segments.h"

#include <algorithm>
#include <stdexcept>

#include "byte_writer.h"

namespace standin::ts {
namespace {

constexpr uint8_t kEpochStart = 0x80;
constexpr uint8_t kNormalState = 0x00;
constexpr uint8_t kFirstFragment = 0x80, kLastFragment = 0x40;

void RunOf(std::vector<uint8_t>& out, uint8_t colour, int length) {
    if (colour == 0) {
        if (length < 64) {
            out.insert(out.end(), {0, static_cast<uint8_t>(length)});
        } else {
            out.insert(out.end(), {0, static_cast<uint8_t>(0x40 | (length >> 8)),
                                   static_cast<uint8_t>(length)});
        }
    } else if (length < 3) {
        out.insert(out.end(), length, colour);
    } else if (length < 64) {
        out.insert(out.end(), {0, static_cast<uint8_t>(0x80 | length), colour});
    } else {
        out.insert(out.end(), {0, static_cast<uint8_t>(0xC0 | (length >> 8)),
                               static_cast<uint8_t>(length), colour});
    }
}

PgSegment Composition(const PgComposition& c, uint8_t state, const PgPicture* object) {
    ByteWriter w;
    w.U16(c.videoWidth);
    w.U16(c.videoHeight);
    w.U8(c.frameRateCode << 4);
    w.U16(c.number);
    w.U8(state);
    w.U8(0);  // no palette-only update
    w.U8(0);  // palette 0
    w.U8(object ? 1 : 0);
    if (object) {
        w.U16(0);  // object 0
        w.U8(0);   // window 0
        w.U8(0);   // not cropped, not forced
        w.U16(object->x);
        w.U16(object->y);
    }
    return {kPgComposition, w.Bytes()};
}

PgSegment Window(const PgPicture& area) {
    ByteWriter w;
    w.U8(1);
    w.U8(0);  // window 0
    w.U16(area.x);
    w.U16(area.y);
    w.U16(area.width);
    w.U16(area.height);
    return {kPgWindow, w.Bytes()};
}

PgSegment Palette(const std::vector<PgPaletteEntry>& palette) {
    ByteWriter w;
    w.U8(0);  // palette 0
    w.U8(0);  // version
    for (const PgPaletteEntry& e : palette) {
        w.U8(e.index);
        w.U8(e.y);
        w.U8(e.cr);
        w.U8(e.cb);
        w.U8(e.alpha);
    }
    return {kPgPalette, w.Bytes()};
}

std::vector<PgSegment> Objects(const PgPicture& picture) {
    const std::vector<uint8_t> data = PgRunLength(picture);
    std::vector<PgSegment> segments;
    size_t pos = 0;
    do {
        ByteWriter w;
        w.U16(0);  // object 0
        w.U8(0);   // version
        const size_t flagAt = w.Size();
        w.U8(0);
        if (pos == 0) {
            const size_t length = data.size() + 4;
            w.U8(length >> 16);
            w.U16(length);
            w.U16(picture.width);
            w.U16(picture.height);
        }
        const size_t take = std::min(data.size() - pos, kPgMaxSegmentPayload - w.Size());
        std::vector<uint8_t> payload = w.Bytes();
        payload.insert(payload.end(), data.begin() + pos, data.begin() + pos + take);
        payload[flagAt] =
            (pos == 0 ? kFirstFragment : 0) | (pos + take == data.size() ? kLastFragment : 0);
        pos += take;
        segments.push_back({kPgObject, std::move(payload)});
    } while (pos < data.size());
    return segments;
}

}  // namespace

std::vector<uint8_t> PgSegment::Bytes() const {
    std::vector<uint8_t> bytes{type, static_cast<uint8_t>(payload.size() >> 8),
                               static_cast<uint8_t>(payload.size())};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

std::vector<uint8_t> PgRunLength(const PgPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || picture.width > 16383 ||
        picture.pixels.size() != size_t(picture.width) * picture.height)
        throw std::invalid_argument("a subtitle picture of a size the PG stream cannot hold");
    std::vector<uint8_t> out;
    for (int row = 0; row < picture.height; ++row) {
        const uint8_t* line = &picture.pixels[size_t(row) * picture.width];
        for (int x = 0; x < picture.width;) {
            int run = 1;
            while (x + run < picture.width && line[x + run] == line[x]) ++run;
            RunOf(out, line[x], run);
            x += run;
        }
        out.insert(out.end(), {0, 0});
    }
    return out;
}

std::vector<PgSegment> PgShowSet(const PgComposition& composition, const PgPicture& picture,
                                 const std::vector<PgPaletteEntry>& palette) {
    std::vector<PgSegment> set{Composition(composition, kEpochStart, &picture), Window(picture),
                               Palette(palette)};
    for (PgSegment& object : Objects(picture)) set.push_back(std::move(object));
    set.push_back({kPgEnd, {}});
    return set;
}

std::vector<PgSegment> PgClearSet(const PgComposition& composition, const PgPicture& window) {
    return {Composition(composition, kNormalState, nullptr), Window(window), {kPgEnd, {}}};
}

}  // namespace standin::ts
