// The recording stand-in that the pipeline tests build on, driven through the tool runner.
#include <gtest/gtest.h>

#include "platform/tool_runner.h"
#include "platform/tool_table.h"
#include "support/recorder_rules.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::ReadWholeFile;
using test::RecordedRun;

class RecorderTest : public ::testing::Test {
protected:
    std::string Tool(std::string_view subPath) {
        return "\"" + tool::PathOf(tools.ProgramFolder(), subPath) + "\"";
    }

    test::TempFolder scratch;
    test::RecorderProgramFolder tools{scratch.path().string()};
    std::string work = scratch.MakeFolder("work d'été") + "/";
    ToolRunner runner;
};

TEST_F(RecorderTest, JournalKeepsEveryRunWithExactArgumentBoundaries) {
    tools.Install({tool::kMkvExtract, tool::kMkvMerge});
    runner.RunWait(Tool(tool::kMkvExtract) + " tracks \"" + work + "a b.mkv\" \"\" 1:\"" + work +
                       "movie.h264\"",
                   0);
    runner.RunWait(Tool(tool::kMkvMerge) + " -o \"tab\there\" \"back\\slash\"", 1);

    auto runs = tools.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (RecordedRun{tools.ProgramFolder() + "/MKVToolnix/mkvextract", "tracks",
                                    work + "a b.mkv", "", "1:" + work + "movie.h264"}));
    EXPECT_EQ(runs[1], (RecordedRun{tools.ProgramFolder() + "/MKVToolnix/mkvmerge", "-o",
                                    "tab\there", "back\\slash"}));
    EXPECT_EQ(test::RunsOf(runs, "mkvmerge").size(), 1u);
}

TEST_F(RecorderTest, RulesWriteTheFilesTheirTargetsName) {
    tools.Install({tool::kMkvExtract, tool::kMP4Box, tool::kTsMuxer});
    const std::string sample = scratch.Write("sample.bin", std::string("\x00\x00\x01\x67", 4));
    tools.Rules()
        .Write("mkvextract", "cut:1:", 1000)
        .Copy("mkvextract", "cut:2:", sample)
        .WriteText("MP4Box", "arg:-1", "mp4", "-add")
        .Write("MP4Box", "after:-tmp", 3, "never-matches")
        .MakeFolder("tsmuxer", "arg:2")
        .WriteText("tsmuxer", work + "AVCHD/index.bdmv", "INDX");

    runner.RunWait(Tool(tool::kMkvExtract) + " tracks \"src.mkv\" 1:\"" + work +
                       "movie.h264\" 2:\"" + work + "movie.ac3\"",
                   0);
    runner.RunWait(Tool(tool::kMP4Box) + " -add \"" + work + "movie.h264\" \"" + work + "out.mp4\"",
                   0);
    runner.RunWait(Tool(tool::kTsMuxer) + " \"" + work + "movie.meta\" \"" + work + "AVCHD\"", 0);

    EXPECT_EQ(ReadWholeFile(work + "movie.h264"), std::string(1000, '\0'));
    EXPECT_EQ(ReadWholeFile(work + "movie.ac3"), std::string("\x00\x00\x01\x67", 4));
    EXPECT_EQ(ReadWholeFile(work + "out.mp4"), "mp4");
    EXPECT_EQ(ReadWholeFile(work + "AVCHD/index.bdmv"), "INDX");
}

TEST_F(RecorderTest, RulesPrintAndSetTheExitCode) {
    tools.Install({tool::kX264Checker, tool::kMkvInfo});
    tools.Rules()
        .Stdout("x264_checker", "dpb check: [OK]\n")
        .Stdout("*", "any tool\n")
        .Stderr("x264_checker", "to the log\n")
        .Exit("mkvinfo", 2)
        .Exit("mkvinfo", 3, "--last");

    EXPECT_EQ(runner.RunCapture(Tool(tool::kX264Checker) + " \"a.mkv\""),
              "dpb check: [OK]\nany tool\n");
    EXPECT_EQ(runner.RunWait(Tool(tool::kMkvInfo), 0), 2);
    EXPECT_EQ(runner.RunWait(Tool(tool::kMkvInfo) + " --last", 0), 3);
}

TEST_F(RecorderTest, RuleThatCannotBePlayedFailsTheRunWithAReason) {
    tools.Install(tool::kFFmpeg);
    tools.Rules().Write("FFmpeg", "after:-o", 10);
    EXPECT_EQ(runner.RunCapture(Tool(tool::kFFmpeg) + " -i x", false, true),
              "kestrun-recorder (FFmpeg): no argument for after:-o\n");
    EXPECT_EQ(runner.RunWait(Tool(tool::kFFmpeg) + " -i x", 0), 70);
    EXPECT_EQ(tools.Runs().size(), 2u) << "the run is journaled all the same";
}

}  // namespace
}  // namespace kestrun
