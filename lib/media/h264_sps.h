#pragma once
// The sequence parameter set of an H.264 stream, read as far as the fields that decide frame
// size, reference frames, picture order and timing, and the level 4.1 limits the consoles play.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrun::media::h264 {

struct SequenceParameterSet {
    int profileIdc = 0;
    int constraintFlags = 0;  // the whole byte: constraint_set0_flag is its top bit
    int levelIdc = 0;
    uint32_t id = 0;
    uint32_t chromaFormatIdc = 1;
    uint32_t log2MaxFrameNum = 4;
    uint32_t picOrderCntType = 0;
    uint32_t maxNumRefFrames = 0;
    uint32_t widthInMbs = 0;
    uint32_t heightInMapUnits = 0;
    bool frameMbsOnly = true;
    uint32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;  // in crop units

    // VUI
    bool vuiPresent = false;
    int sarWidth = 0, sarHeight = 0;  // 0 when the stream gives no sample aspect
    uint32_t numUnitsInTick = 0, timeScale = 0;
    bool fixedFrameRate = false;
    std::optional<uint32_t> maxNumReorderFrames;   // bitstream_restriction, when present
    std::optional<uint32_t> maxDecFrameBuffering;  // bitstream_restriction, when present

    uint32_t FrameHeightInMbs() const { return (frameMbsOnly ? 1 : 2) * heightInMapUnits; }
    uint32_t FrameSizeInMbs() const { return widthInMbs * FrameHeightInMbs(); }
    uint32_t CodedWidth() const { return widthInMbs * 16; }
    uint32_t CodedHeight() const { return FrameHeightInMbs() * 16; }
    uint32_t Width() const;   // after cropping
    uint32_t Height() const;  // after cropping
    std::string ProfileName() const;
    std::string LevelName() const;  // "4.1", "1b"
};

// Parses an SPS NAL unit (its header byte first, emulation prevention still in place).
// Throws std::runtime_error when the unit is not an SPS or the data ends early or is invalid.
SequenceParameterSet ParseSps(const uint8_t* nal, size_t size);

// MaxDpbMbs of Table A-1 for a level_idc; the constraint flags tell level 1b (11 with
// constraint_set3) apart. 0 for an unknown level.
uint32_t MaxDpbMbsForLevel(int levelIdc, int constraintFlags = 0);

// MaxDpbFrames = Min(MaxDpbMbs / (PicWidthInMbs * FrameHeightInMbs), 16).
uint32_t MaxDpbFrames(uint32_t maxDpbMbs, uint32_t frameSizeInMbs);

constexpr int kConsoleLevelIdc = 41;
constexpr uint32_t kConsoleMaxDpbMbs = 32768;   // level 4.1
constexpr uint32_t kConsoleMaxFrameMbs = 8192;  // level 4.1 MaxFS

// The number of frames the stream keeps for reference or reordering: max_dec_frame_buffering
// when the VUI gives it, else max_num_ref_frames.
uint32_t DecodedPictureBufferFrames(const SequenceParameterSet& sps);

// True when the stream needs more frames than level 4.1 allows at its frame size.
bool ExceedsConsoleDpb(const SequenceParameterSet& sps);

}  // namespace kestrun::media::h264
