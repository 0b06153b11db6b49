#include "media/h264_sps.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "media/bit_reader.h"
#include "media/h264_nal.h"

namespace kestrun::media::h264 {
namespace {

bool HasChromaFormatFields(int profileIdc) {
    static constexpr int kProfiles[] = {100, 110, 122, 244, 44,  83, 86,
                                        118, 128, 138, 139, 134, 135};
    return std::find(std::begin(kProfiles), std::end(kProfiles), profileIdc) != std::end(kProfiles);
}

uint32_t ReadUEAtMost(BitReader& bits, uint32_t limit, const char* field) {
    const uint32_t value = bits.ReadUE();
    if (value > limit)
        throw std::runtime_error(std::string("invalid ") + field +
                                 " in the sequence parameter set");
    return value;
}

void SkipScalingList(BitReader& bits, int size) {
    int lastScale = 8;
    int nextScale = 8;
    for (int j = 0; j < size && nextScale != 0; ++j) {
        const int32_t delta = bits.ReadSE();
        nextScale = (lastScale + delta + 256) % 256;
        if (nextScale != 0) lastScale = nextScale;
    }
}

void ReadChromaFormatFields(BitReader& bits, SequenceParameterSet& sps) {
    sps.chromaFormatIdc = ReadUEAtMost(bits, 3, "chroma_format_idc");
    if (sps.chromaFormatIdc == 3) bits.ReadFlag();  // separate_colour_plane_flag
    ReadUEAtMost(bits, 6, "bit_depth_luma_minus8");
    ReadUEAtMost(bits, 6, "bit_depth_chroma_minus8");
    bits.ReadFlag();        // qpprime_y_zero_transform_bypass_flag
    if (bits.ReadFlag()) {  // seq_scaling_matrix_present_flag
        const int lists = sps.chromaFormatIdc == 3 ? 12 : 8;
        for (int i = 0; i < lists; ++i) {
            if (bits.ReadFlag()) SkipScalingList(bits, i < 6 ? 16 : 64);
        }
    }
}

void ReadPicOrderCountFields(BitReader& bits, SequenceParameterSet& sps) {
    sps.picOrderCntType = ReadUEAtMost(bits, 2, "pic_order_cnt_type");
    if (sps.picOrderCntType == 0) {
        ReadUEAtMost(bits, 12, "log2_max_pic_order_cnt_lsb_minus4");
    } else if (sps.picOrderCntType == 1) {
        bits.ReadFlag();  // delta_pic_order_always_zero_flag
        bits.ReadSE();    // offset_for_non_ref_pic
        bits.ReadSE();    // offset_for_top_to_bottom_field
        const uint32_t cycle = ReadUEAtMost(bits, 255, "num_ref_frames_in_pic_order_cnt_cycle");
        for (uint32_t i = 0; i < cycle; ++i) bits.ReadSE();
    }
}

void SkipHrdParameters(BitReader& bits) {
    const uint32_t cpbCount = ReadUEAtMost(bits, 31, "cpb_cnt_minus1") + 1;
    bits.ReadBits(4);  // bit_rate_scale
    bits.ReadBits(4);  // cpb_size_scale
    for (uint32_t i = 0; i < cpbCount; ++i) {
        bits.ReadUE();    // bit_rate_value_minus1
        bits.ReadUE();    // cpb_size_value_minus1
        bits.ReadFlag();  // cbr_flag
    }
    bits.ReadBits(20);  // four 5-bit delay and offset lengths
}

void ReadAspectRatio(BitReader& bits, SequenceParameterSet& sps) {
    // Table E-1: sample aspect ratios of aspect_ratio_idc 1 to 16.
    static constexpr int kSar[17][2] = {{0, 0},   {1, 1},    {12, 11}, {10, 11}, {16, 11}, {40, 33},
                                        {24, 11}, {20, 11},  {32, 11}, {80, 33}, {18, 11}, {15, 11},
                                        {64, 33}, {160, 99}, {4, 3},   {3, 2},   {2, 1}};
    const uint32_t idc = bits.ReadBits(8);
    if (idc == 255) {
        sps.sarWidth = static_cast<int>(bits.ReadBits(16));
        sps.sarHeight = static_cast<int>(bits.ReadBits(16));
    } else if (idc < 17) {
        sps.sarWidth = kSar[idc][0];
        sps.sarHeight = kSar[idc][1];
    }
}

void ReadVui(BitReader& bits, SequenceParameterSet& sps) {
    sps.vuiPresent = true;
    if (bits.ReadFlag()) ReadAspectRatio(bits, sps);
    if (bits.ReadFlag())  // overscan_info_present_flag
        bits.ReadFlag();
    if (bits.ReadFlag()) {                       // video_signal_type_present_flag
        bits.ReadBits(4);                        // video_format, video_full_range_flag
        if (bits.ReadFlag()) bits.ReadBits(24);  // colour primaries, transfer, matrix
    }
    if (bits.ReadFlag()) {  // chroma_loc_info_present_flag
        bits.ReadUE();
        bits.ReadUE();
    }
    if (bits.ReadFlag()) {  // timing_info_present_flag
        sps.numUnitsInTick = bits.ReadBits(32);
        sps.timeScale = bits.ReadBits(32);
        sps.fixedFrameRate = bits.ReadFlag();
    }
    const bool nalHrd = bits.ReadFlag();
    if (nalHrd) SkipHrdParameters(bits);
    const bool vclHrd = bits.ReadFlag();
    if (vclHrd) SkipHrdParameters(bits);
    if (nalHrd || vclHrd) bits.ReadFlag();  // low_delay_hrd_flag
    bits.ReadFlag();                        // pic_struct_present_flag
    if (bits.ReadFlag()) {                  // bitstream_restriction_flag
        bits.ReadFlag();                    // motion_vectors_over_pic_boundaries_flag
        bits.ReadUE();                      // max_bytes_per_pic_denom
        bits.ReadUE();                      // max_bits_per_mb_denom
        bits.ReadUE();                      // log2_max_mv_length_horizontal
        bits.ReadUE();                      // log2_max_mv_length_vertical
        sps.maxNumReorderFrames = bits.ReadUE();
        sps.maxDecFrameBuffering = bits.ReadUE();
    }
}

void ReadSpsBody(BitReader& bits, SequenceParameterSet& sps) {
    bits.ReadBits(8);  // NAL header
    sps.profileIdc = static_cast<int>(bits.ReadBits(8));
    sps.constraintFlags = static_cast<int>(bits.ReadBits(8));
    sps.levelIdc = static_cast<int>(bits.ReadBits(8));
    sps.id = ReadUEAtMost(bits, 31, "seq_parameter_set_id");
    if (HasChromaFormatFields(sps.profileIdc)) ReadChromaFormatFields(bits, sps);
    sps.log2MaxFrameNum = ReadUEAtMost(bits, 12, "log2_max_frame_num_minus4") + 4;
    ReadPicOrderCountFields(bits, sps);
    sps.maxNumRefFrames = ReadUEAtMost(bits, 255, "max_num_ref_frames");
    bits.ReadFlag();  // gaps_in_frame_num_value_allowed_flag
    sps.widthInMbs = ReadUEAtMost(bits, 4095, "pic_width_in_mbs_minus1") + 1;
    sps.heightInMapUnits = ReadUEAtMost(bits, 4095, "pic_height_in_map_units_minus1") + 1;
    sps.frameMbsOnly = bits.ReadFlag();
    if (!sps.frameMbsOnly) bits.ReadFlag();  // mb_adaptive_frame_field_flag
    bits.ReadFlag();                         // direct_8x8_inference_flag
    if (bits.ReadFlag()) {                   // frame_cropping_flag
        sps.cropLeft = bits.ReadUE();
        sps.cropRight = bits.ReadUE();
        sps.cropTop = bits.ReadUE();
        sps.cropBottom = bits.ReadUE();
    }
    if (bits.ReadFlag()) ReadVui(bits, sps);
}

uint32_t CropUnitX(const SequenceParameterSet& sps) {
    return sps.chromaFormatIdc == 1 || sps.chromaFormatIdc == 2 ? 2 : 1;
}

uint32_t CropUnitY(const SequenceParameterSet& sps) {
    const uint32_t subHeight = sps.chromaFormatIdc == 1 ? 2 : 1;
    return subHeight * (sps.frameMbsOnly ? 1 : 2);
}

uint32_t CroppedSize(uint32_t coded, uint64_t cropUnits) {
    return cropUnits < coded ? static_cast<uint32_t>(coded - cropUnits) : coded;
}

}  // namespace

uint32_t SequenceParameterSet::Width() const {
    return CroppedSize(CodedWidth(), uint64_t{cropLeft} * CropUnitX(*this) +
                                         uint64_t{cropRight} * CropUnitX(*this));
}

uint32_t SequenceParameterSet::Height() const {
    return CroppedSize(CodedHeight(), uint64_t{cropTop} * CropUnitY(*this) +
                                          uint64_t{cropBottom} * CropUnitY(*this));
}

std::string SequenceParameterSet::ProfileName() const {
    switch (profileIdc) {
        case 66:
            return (constraintFlags & 0x40) ? "Constrained Baseline" : "Baseline";
        case 77:
            return "Main";
        case 88:
            return "Extended";
        case 100:
            return "High";
        case 110:
            return "High 10";
        case 122:
            return "High 4:2:2";
        case 244:
            return "High 4:4:4 Predictive";
        case 44:
            return "CAVLC 4:4:4 Intra";
        default:
            return "profile " + std::to_string(profileIdc);
    }
}

std::string SequenceParameterSet::LevelName() const {
    const bool constrainedProfile = profileIdc == 66 || profileIdc == 77 || profileIdc == 88;
    if (levelIdc == 9 || (levelIdc == 11 && (constraintFlags & 0x10) && constrainedProfile))
        return "1b";
    return std::to_string(levelIdc / 10) + "." + std::to_string(levelIdc % 10);
}

SequenceParameterSet ParseSps(const uint8_t* nal, size_t size) {
    if (size < 4 || NalTypeOf(nal[0]) != kNalSps)
        throw std::runtime_error("not a sequence parameter set");
    const std::vector<uint8_t> rbsp = RemoveEmulationPrevention(nal, size);
    BitReader bits(rbsp);
    SequenceParameterSet sps;
    try {
        ReadSpsBody(bits, sps);
    } catch (const std::out_of_range&) {
        throw std::runtime_error("the sequence parameter set ends early");
    }
    return sps;
}

uint32_t MaxDpbMbsForLevel(int levelIdc, int constraintFlags) {
    switch (levelIdc) {
        case 9:
            return 396;
        case 10:
            return 396;
        case 11:
            return (constraintFlags & 0x10) ? 396 : 900;
        case 12:
        case 13:
        case 20:
            return 2376;
        case 21:
            return 4752;
        case 22:
        case 30:
            return 8100;
        case 31:
            return 18000;
        case 32:
            return 20480;
        case 40:
        case 41:
            return 32768;
        case 42:
            return 34816;
        case 50:
            return 110400;
        case 51:
        case 52:
            return 184320;
        case 60:
        case 61:
        case 62:
            return 696320;
        default:
            return 0;
    }
}

uint32_t MaxDpbFrames(uint32_t maxDpbMbs, uint32_t frameSizeInMbs) {
    if (frameSizeInMbs == 0) return 0;
    return std::min<uint32_t>(maxDpbMbs / frameSizeInMbs, 16);
}

uint32_t DecodedPictureBufferFrames(const SequenceParameterSet& sps) {
    return sps.maxDecFrameBuffering ? std::max(*sps.maxDecFrameBuffering, sps.maxNumRefFrames)
                                    : sps.maxNumRefFrames;
}

bool ExceedsConsoleDpb(const SequenceParameterSet& sps) {
    const uint32_t allowed = MaxDpbFrames(kConsoleMaxDpbMbs, sps.FrameSizeInMbs());
    return DecodedPictureBufferFrames(sps) > allowed;
}

}  // namespace kestrun::media::h264
