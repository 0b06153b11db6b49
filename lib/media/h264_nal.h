#pragma once
// H.264 network abstraction layer units in an Annex B byte stream (start codes 00 00 01 or
// 00 00 00 01), and the removal of emulation-prevention bytes that turns a NAL unit's payload
// into its raw byte sequence.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kestrun::media::h264 {

enum NalType : int {
    kNalSlice = 1,
    kNalSliceDataPartitionA = 2,
    kNalIdrSlice = 5,
    kNalSei = 6,
    kNalSps = 7,
    kNalPps = 8,
    kNalAccessUnitDelimiter = 9,
    kNalSpsExtension = 13,
};

inline int NalTypeOf(uint8_t header) { return header & 0x1F; }

// One NAL unit inside a buffer: `data` points at its header byte, `size` runs to the next start
// code (trailing zero bytes that belong to the next start code are not included).
struct NalUnit {
    const uint8_t* data;
    size_t size;
    int type() const { return size ? NalTypeOf(data[0]) : -1; }
};

// Position just after the next 00 00 01 that begins at or after `from`, or `size` when there is
// none.
size_t AfterNextStartCode(const uint8_t* data, size_t size, size_t from);

// Calls `visit` for every NAL unit of an Annex B buffer, in order. Bytes before the first start
// code are skipped.
void ForEachNalUnit(const uint8_t* data, size_t size, const std::function<void(NalUnit)>& visit);

std::vector<NalUnit> SplitNalUnits(const uint8_t* data, size_t size);

// The type of the first slice (1 to 5) in an Annex B buffer, or -1 when it holds none. Stops
// scanning at that slice.
int FirstSliceNalType(const uint8_t* data, size_t size);

// The offset of every 00 00 01 in an Annex B buffer, in order, leaving out one whose 01 is the
// buffer's last byte (no unit follows it).
std::vector<uint32_t> StartCodeOffsets(const uint8_t* data, size_t size);

// Rewrites an Annex B access unit into the form an MP4 sample holds: each NAL unit behind its
// length in four big-endian bytes instead of a start code. The units are cut as FFmpeg's MP4
// writer cuts them when it is handed Annex B itself, so a file is the same either way: bytes
// before the first start code are dropped, a start code takes one zero byte before it along, and
// other zero bytes stay at the end of the unit before. `startCodes` is StartCodeOffsets(data).
// Where every start code has four bytes, each length takes its place and no byte moves; else the
// units are copied into a new buffer.
void ToLengthPrefixed(std::vector<uint8_t>& data, const std::vector<uint32_t>& startCodes);

// The raw byte sequence payload of a NAL unit (header byte included), with every 0x03 that
// follows two zero bytes removed.
std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, size_t size);

}  // namespace kestrun::media::h264
