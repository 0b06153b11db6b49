// The SPS reader on streams that x264 encodes, and the level 4.1 buffer limits.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/lib_names.h"
#include "h264_tools/media_fixture.h"
#include "media/h264_nal.h"
#include "media/h264_parameter_sets.h"
#include "media/h264_sps.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

using standin::h264::ParseSps;
using standin::h264::SequenceParameterSet;

class SpsOfEncodedStream : public ::testing::Test {
protected:
    SequenceParameterSet Encode(int width, int height, int frames,
                                const std::vector<std::string>& options) {
        const std::string path = folder_ / "sample.h264";
        EncodeH264(path, width, height, frames, options);
        const auto units = SpsUnitsOf(path);
        EXPECT_EQ(units.size(), 1u);
        if (units.empty()) throw std::runtime_error("no SPS");
        return ParseSps(units[0].data(), units[0].size());
    }

    TempFolder folder_{"kestrun-sps"};
};

TEST_F(SpsOfEncodedStream, HighProfile720pGivesLevelReferencesSizeAndBuffering) {
    const auto sps = Encode(
        1280, 720, 2,
        {"-preset", "veryfast", "-profile:v", "high", "-level", "4.1", "-refs", "4", "-bf", "3"});
    EXPECT_EQ(sps.profileIdc, 100);
    EXPECT_EQ(sps.ProfileName(), "High");
    EXPECT_EQ(sps.levelIdc, 41);
    EXPECT_EQ(sps.LevelName(), "4.1");
    EXPECT_EQ(sps.maxNumRefFrames, 4u);
    EXPECT_EQ(sps.Width(), 1280u);
    EXPECT_EQ(sps.Height(), 720u);
    ASSERT_TRUE(sps.maxDecFrameBuffering.has_value());
    EXPECT_GE(*sps.maxDecFrameBuffering, 4u);
    ASSERT_TRUE(sps.maxNumReorderFrames.has_value());
    EXPECT_EQ(*sps.maxNumReorderFrames, 2u);  // B-pyramid
    EXPECT_EQ(sps.timeScale / (2 * sps.numUnitsInTick), 23u);
    EXPECT_FALSE(standin::h264::ExceedsConsoleDpb(sps));
}

TEST_F(SpsOfEncodedStream, SixteenReferencesAt1080pExceedLevel41) {
    const auto sps = Encode(1920, 1080, 3, {"-refs", "16", "-level", "5.1"});
    EXPECT_EQ(sps.levelIdc, 51);
    EXPECT_EQ(sps.maxNumRefFrames, 16u);
    EXPECT_EQ(sps.Height(), 1080u);
    EXPECT_EQ(sps.CodedHeight(), 1088u);  // the buffer counts coded macroblocks
    EXPECT_EQ(sps.FrameSizeInMbs(), 8160u);
    EXPECT_EQ(standin::h264::MaxDpbFrames(standin::h264::kConsoleMaxDpbMbs, sps.FrameSizeInMbs()),
              4u);
    EXPECT_TRUE(standin::h264::ExceedsConsoleDpb(sps));
}

TEST_F(SpsOfEncodedStream, BaselineInterlacedCroppedAndAnamorphicStreams) {
    const auto baseline = Encode(320, 240, 1, {"-profile:v", "baseline"});
    EXPECT_EQ(baseline.profileIdc, 66);
    EXPECT_EQ(baseline.ProfileName(), "Constrained Baseline");

    const auto interlaced = Encode(720, 576, 2, {"-flags", "+ildct+ilme", "-x264-params", "tff=1"});
    EXPECT_FALSE(interlaced.frameMbsOnly);
    EXPECT_EQ(interlaced.FrameHeightInMbs(), 36u);
    EXPECT_EQ(interlaced.Height(), 576u);

    const auto cropped = Encode(1278, 718, 1, {});
    EXPECT_EQ(cropped.CodedWidth(), 1280u);
    EXPECT_EQ(cropped.Width(), 1278u);
    EXPECT_EQ(cropped.Height(), 718u);

    const auto tableAspect = Encode(320, 240, 1, {"-vf", "setsar=4/3"});
    EXPECT_EQ(tableAspect.sarWidth, 4);
    EXPECT_EQ(tableAspect.sarHeight, 3);
    const auto extendedAspect = Encode(320, 240, 1, {"-vf", "setsar=10/7"});
    EXPECT_EQ(extendedAspect.sarWidth, 10);
    EXPECT_EQ(extendedAspect.sarHeight, 7);
}

TEST_F(SpsOfEncodedStream, DamagedUnitsAreRefused) {
    EncodeH264(folder_ / "s.h264", 320, 240, 1, {});
    auto sps = SpsUnitsOf(folder_ / "s.h264").at(0);
    EXPECT_THROW(ParseSps(sps.data(), 6), std::runtime_error);
    sps[0] = 0x68;  // a PPS header
    EXPECT_THROW(ParseSps(sps.data(), sps.size()), std::runtime_error);
    const std::vector<uint8_t> outOfRangeField = {0x67, 0x42, 0xC0, 0x1E, 0x80,
                                                  0x00, 0x00, 0x00, 0x01};
    EXPECT_THROW(ParseSps(outOfRangeField.data(), outOfRangeField.size()), std::runtime_error);
}

TEST(SpsLimits, MaxDpbFramesFollowTableA1) {
    using standin::h264::MaxDpbFrames;
    using standin::h264::MaxDpbMbsForLevel;
    EXPECT_EQ(MaxDpbMbsForLevel(41), 32768u);
    EXPECT_EQ(MaxDpbMbsForLevel(51), 184320u);
    EXPECT_EQ(MaxDpbMbsForLevel(11), 900u);
    EXPECT_EQ(MaxDpbMbsForLevel(11, 0x10), 396u);  // level 1b
    EXPECT_EQ(MaxDpbMbsForLevel(99), 0u);
    EXPECT_EQ(MaxDpbFrames(32768, 120 * 68), 4u);  // 1920x1080
    EXPECT_EQ(MaxDpbFrames(32768, 80 * 45), 9u);   // 1280x720
    EXPECT_EQ(MaxDpbFrames(32768, 120 * 50), 5u);  // 1920x800
    EXPECT_EQ(MaxDpbFrames(32768, 45 * 36), 16u);  // 720x576, capped
    EXPECT_EQ(MaxDpbFrames(32768, 0), 0u);
}

TEST(SpsLimits, VuiBufferingCountsWhenLargerThanReferences) {
    SequenceParameterSet sps;
    sps.widthInMbs = 80;
    sps.heightInMapUnits = 45;  // 720p: 9 frames allowed
    sps.maxNumRefFrames = 9;
    EXPECT_FALSE(standin::h264::ExceedsConsoleDpb(sps));
    sps.maxDecFrameBuffering = 10;
    EXPECT_TRUE(standin::h264::ExceedsConsoleDpb(sps));
}

TEST(NalUnits, EmulationPreventionAndStartCodes) {
    using standin::h264::RemoveEmulationPrevention;
    const std::vector<uint8_t> escaped = {0x67, 0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x03};
    EXPECT_EQ(RemoveEmulationPrevention(escaped.data(), escaped.size()),
              (std::vector<uint8_t>{0x67, 0x00, 0x00, 0x01, 0x00, 0x00}));

    const std::vector<uint8_t> stream = {0xAA, 0,    0, 0, 1, 0x67, 1,    2, 0, 0,
                                         1,    0x68, 3, 0, 0, 1,    0x65, 9, 0, 0};
    const auto units = standin::h264::SplitNalUnits(stream.data(), stream.size());
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].type(), 7);
    EXPECT_EQ(units[0].size, 3u);  // the zero of the next start code is not part of it
    EXPECT_EQ(units[1].type(), 8);
    EXPECT_EQ(units[2].size, 2u);  // trailing zeros dropped
    EXPECT_EQ(standin::h264::FirstSliceNalType(stream.data(), stream.size()), 5);
    EXPECT_EQ(standin::h264::FirstSliceNalType(stream.data(), 12), -1);
}

TEST(ParameterSets, AvcConfigurationRecordAndAnnexBBlock) {
    const std::vector<uint8_t> sps = {0x67, 0x64, 0x00, 0x29, 0xAC};
    const std::vector<uint8_t> pps = {0x68, 0xEE, 0x3C};
    std::vector<uint8_t> avcc = {1, 0x64, 0x00, 0x29, 0xFF, 0xE1, 0, 5};
    avcc.insert(avcc.end(), sps.begin(), sps.end());
    avcc.insert(avcc.end(), {1, 0, 3});
    avcc.insert(avcc.end(), pps.begin(), pps.end());

    const auto sets = standin::h264::ReadParameterSets(avcc.data(), avcc.size());
    ASSERT_EQ(sets.sps.size(), 1u);
    EXPECT_EQ(sets.sps[0], sps);
    ASSERT_EQ(sets.pps.size(), 1u);
    EXPECT_EQ(sets.pps[0], pps);

    const auto block = standin::h264::ToAnnexB(sets);
    const auto again = standin::h264::ReadParameterSets(block.data(), block.size());
    EXPECT_EQ(again.sps, sets.sps);
    EXPECT_EQ(again.pps, sets.pps);

    EXPECT_THROW(standin::h264::ReadParameterSets(avcc.data(), 10), std::runtime_error);
    const std::vector<uint8_t> garbage = {0x42, 0x42, 0x42};
    EXPECT_THROW(standin::h264::ReadParameterSets(garbage.data(), garbage.size()),
                 std::runtime_error);
}

}  // namespace
}  // namespace kestrun::test
