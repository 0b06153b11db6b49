#pragma once
// The level of an H.264 stream's sequence parameter sets, changed in place: every set's level_idc
// through SpsLevelPatcher, or the bytes a caller's own rule picks among those SpsPayloadMask marks.
//
// SpsLevelPatcher sets level_idc in every sequence parameter set of an Annex B H.264 stream that
// arrives in consecutive chunks, changing nothing else. level_idc is the third byte after the SPS
// NAL header; as neither profile_idc nor a valid level is zero, no emulation-prevention byte can
// stand before it or come or go with the change.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrun::media::h264 {

// A level byte SpsLevelPatcher changed: where it lies in the whole stream, and its old value.
struct LevelChange {
    uint64_t offset;
    uint8_t was;
};

class SpsLevelPatcher {
public:
    explicit SpsLevelPatcher(uint8_t levelIdc) : level_(levelIdc) {}

    // Patches one chunk in place; a start code or SPS header may run across chunk boundaries.
    // With `changes`, every byte changed is also appended there.
    void Patch(uint8_t* data, size_t size, std::vector<LevelChange>* changes = nullptr);

    size_t SpsCount() const { return spsCount_; }          // SPS units whose level byte was seen
    size_t ChangedCount() const { return changedCount_; }  // of those, the ones changed

private:
    // One byte through the state below.
    void Step(uint8_t* data, size_t i, std::vector<LevelChange>* changes);

    uint8_t level_;
    int zeros_ = 0;              // zero bytes just before the current one (counted up to 2)
    bool nextIsHeader_ = false;  // the byte after a start code is a NAL header
    int spsBytesSeen_ = -1;      // bytes after an SPS header byte; -1 outside SPS headers
    size_t spsCount_ = 0;
    size_t changedCount_ = 0;
    uint64_t position_ = 0;  // stream offset of the chunk being patched
};

// level_idc of every sequence parameter set in an avcC record (and the record's own level byte).
void SetAvccLevel(uint8_t* data, size_t size, uint8_t level);
// level_idc of every sequence parameter set among NAL units with `lengthSize`-byte length
// prefixes (a frame of an MP4 or Matroska track).
void SetLengthPrefixedSpsLevel(uint8_t* data, size_t size, int lengthSize, uint8_t level);

// Which bytes of an Annex B stream's head lie inside a sequence parameter set NAL unit, after its
// header byte and before the next start code. Bytes before the first start code lie in none, and
// a slice's data never counts, however much it looks like a header.
std::vector<bool> SpsPayloadMask(const uint8_t* data, size_t size);

}  // namespace kestrun::media::h264
