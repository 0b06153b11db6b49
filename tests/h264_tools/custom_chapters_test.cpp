// tsMuxeR's --custom-chapters: the times read from the MUXOPT line, and the playlist marks they
// give on a film with a key frame every second.
#include <gtest/gtest.h>

#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"
#include "tsmuxer/meta_file.h"

namespace kestrun::test {
namespace {
using namespace standin::ts;
constexpr int64_t kS = 45000;

TEST(CustomChapters, TimesReadOrRefusedByName) {
    const std::pair<const char*, std::vector<int64_t>> rows[] = {
        {"00:00:00.000;00:03:00.000;1:30:05.5", {0, 180 * kS, 5405 * kS + kS / 2}},
        {"0:00:07.500;0:00:03;", {3 * kS, 7 * kS + kS / 2}},  // sorted, empty piece skipped
        {"00:00:01.000000001", {kS}},
    };
    for (const auto& [text, starts] : rows) {
        const MetaFile meta = ParseMetaFile(std::string("MUXOPT --blu-ray --auto-chapters=5 "
                                                        "--custom-chapters=") +
                                            text + "\r\n");
        EXPECT_EQ(meta.options.customChapters, starts) << text;
        EXPECT_EQ(meta.options.autoChapterMinutes, 5);
    }
    for (const char* bad : {"00:61:00.000", "00:00:60", "1:2:03", "00:00:03.", "00:00:03,5",
                            "-0:00:03", "00:00:03.5x", "+1:00:00", "00:00", "12345:00:00"}) {
        try {
            ParseMetaFile(std::string("MUXOPT --custom-chapters=0:00:00;") + bad + "\r\n");
            ADD_FAILURE() << "accepted " << bad;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(
                std::string(e.what()).find(std::string("line 1: bad chapter time \"") + bad + "\""),
                std::string::npos)
                << e.what();
        }
    }
    std::string many;
    for (size_t i = 0; i < kMaxChapterMarks; ++i)
        many += "0:00:" + std::to_string(10 + i % 50) + ";";
    EXPECT_EQ(ParseCustomChapters(many).size(), kMaxChapterMarks);
    EXPECT_THROW(ParseCustomChapters(many + "0:00:01"), std::invalid_argument);
}

// The playlist's marks in seconds from the start of its first play item.
std::vector<double> MarkSeconds(const std::vector<uint8_t>& mpls) {
    auto u32 = [&](size_t at) {
        return (uint32_t{mpls.at(at)} << 24) | (mpls.at(at + 1) << 16) | (mpls.at(at + 2) << 8) |
               mpls.at(at + 3);
    };
    const uint32_t inTime = u32(u32(8) + 24), marks = u32(12);
    std::vector<double> seconds;
    for (int i = 0; i < ((mpls.at(marks + 4) << 8) | mpls.at(marks + 5)); ++i)
        seconds.push_back((u32(marks + 6 + 14 * i + 4) - inTime) / 45000.0);
    return seconds;
}

TEST(CustomChapters, MarksOnTheKeyFrameAtOrAfterInPlaceOfOthers) {
    TempFolder folder("kestrun-custom-chapters");
    const std::string film =
        FfmpegSample({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-t", "10", "-c:v",
                      "libx264", "-preset", "ultrafast", "-g", "25"},
                     "mkv");
    // The film's own chapters (at 0 and 5 s) give way to the custom ones.
    const std::string chaptered = folder / "chaptered.mkv";
    Mkvmerge({"-o", chaptered, "--chapters",
              folder.Write("chapters.txt",
                           "CHAPTER01=00:00:00.000\nCHAPTER01NAME=a\n"
                           "CHAPTER02=00:00:05.000\nCHAPTER02NAME=b\n"),
              film});
    const std::pair<const char*, std::vector<double>> rows[] = {
        {"", {0, 5}},
        {" --custom-chapters=00:00:00.000;00:00:03.000;00:00:07.500", {0, 3, 8}},
        {" --custom-chapters=00:00:04.000", {0, 4}},  // the start keeps its mark
    };
    int count = 0;
    for (const auto& [option, expected] : rows) {
        const std::string root = folder / ("disc" + std::to_string(++count));
        const std::string meta =
            folder.Write("m" + std::to_string(count) + ".meta",
                         std::string("MUXOPT --blu-ray --auto-chapters=1") + option +
                             "\r\nV_MPEG4/ISO/AVC, \"" + chaptered + "\", track=1, fps=25\r\n");
        const ProgramRun run = RunProgram({BuiltTool("TS/tsmuxer"), meta, root});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto marks = MarkSeconds(ReadBytes(root + "/BDMV/PLAYLIST/00000.mpls"));
        ASSERT_EQ(marks.size(), expected.size()) << option;
        for (size_t i = 0; i < marks.size(); ++i) EXPECT_NEAR(marks[i], expected[i], 0.05) << i;
    }
}

}  // namespace
}  // namespace kestrun::test
