#include "pg_canvas_fit.h"

#include <algorithm>

namespace standin::ts {
namespace {

// Composition: video width (2), height (2), frame rate (1), number (2), state (1), palette
// update (1), palette id (1), object count (1), then per object: object id (2), window id (1),
// flags (1), x (2), y (2) and, when cropped, four more 2-byte values.
constexpr size_t kCompositionHead = 11;
constexpr size_t kObjectEntry = 8, kCropFields = 8;
constexpr uint8_t kObjectCropped = 0x80;
constexpr uint8_t kEpochStart = 0x80;  // in the composition state
// Window definition: count (1), then per window: id (1), x (2), y (2), width (2), height (2).
constexpr size_t kWindowEntry = 9;

int Read16(const std::vector<uint8_t>& bytes, size_t at) {
    return (bytes[at] << 8) | bytes[at + 1];
}

void Write16(std::vector<uint8_t>& bytes, size_t at, int value) {
    const int clamped = std::clamp(value, 0, 0xFFFF);
    bytes[at] = static_cast<uint8_t>(clamped >> 8);
    bytes[at + 1] = static_cast<uint8_t>(clamped & 0xFF);
}

}  // namespace

PgCanvasFit::Shift PgCanvasFit::FitWindow(int x, int y, int width, int height) const {
    const int newX =
        std::clamp(x - (canvasWidth_ - videoWidth_) / 2, 0, std::max(0, videoWidth_ - width));
    const int newY =
        std::clamp(y - (canvasHeight_ - videoHeight_) / 2, 0, std::max(0, videoHeight_ - height));
    return {newX - x, newY - y};
}

void PgCanvasFit::Apply(std::vector<PgSegment>& set) {
    if (videoWidth_ <= 0 || videoHeight_ <= 0) return;
    PgSegment* composition = nullptr;
    for (PgSegment& segment : set)
        if (segment.type == kPgComposition && segment.payload.size() >= kCompositionHead) {
            composition = &segment;
            break;
        }
    if (composition) {
        if (composition->payload[7] & kEpochStart) windows_.clear();
        canvasWidth_ = Read16(composition->payload, 0);
        canvasHeight_ = Read16(composition->payload, 2);
    }
    if (canvasWidth_ == 0 || (canvasWidth_ == videoWidth_ && canvasHeight_ == videoHeight_)) return;

    for (PgSegment& segment : set) {
        if (segment.type != kPgWindow || segment.payload.empty()) continue;
        std::vector<uint8_t>& p = segment.payload;
        const size_t count = p[0];
        for (size_t i = 0, at = 1; i < count && at + kWindowEntry <= p.size();
             ++i, at += kWindowEntry) {
            const int x = Read16(p, at + 1), y = Read16(p, at + 3);
            const Shift shift = FitWindow(x, y, Read16(p, at + 5), Read16(p, at + 7));
            windows_[p[at]] = shift;
            Write16(p, at + 1, x + shift.dx);
            Write16(p, at + 3, y + shift.dy);
        }
    }
    if (!composition) return;
    std::vector<uint8_t>& p = composition->payload;
    Write16(p, 0, videoWidth_);
    Write16(p, 2, videoHeight_);
    const size_t count = p[10];
    size_t at = kCompositionHead;
    for (size_t i = 0; i < count && at + kObjectEntry <= p.size(); ++i) {
        const auto window = windows_.find(p[at + 2]);
        // An object in a window this epoch never defined moves as the frame does.
        const Shift shift = window != windows_.end()
                                ? window->second
                                : FitWindow(Read16(p, at + 4), Read16(p, at + 6), 0, 0);
        Write16(p, at + 4, Read16(p, at + 4) + shift.dx);
        Write16(p, at + 6, Read16(p, at + 6) + shift.dy);
        at += kObjectEntry + ((p[at + 3] & kObjectCropped) ? kCropFields : 0);
    }
}

}  // namespace standin::ts
