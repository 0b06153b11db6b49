// ReadInfo through the real mkvinfo and x264_checker stand-ins on real samples.
#include "analysis/read_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "analysis_samples.h"
#include "model/context.h"
#include "platform/tool_table.h"
#include "platform/work_folder_lock.h"
#include "support/process.h"
#include "support/samples.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

class ReadInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctx.runner.SetObserver([this](const std::string& line) { commands.push_back(line); });
    }

    static std::string Sample(const std::string& name) { return AnalysisSample(name); }
    int CheckerRuns() const {
        int runs = 0;
        for (const std::string& line : commands) runs += line.find("x264_checker") != line.npos;
        return runs;
    }

    TempFolder root{"kestrun-readinfo"};
    std::string program = MakeStandInProgramFolder(root);
    ScriptedHost host;
    Context ctx{host, program};
    Form1& form = ctx.form;
    Analysis& analysis = ctx.analysis;
    std::vector<std::string> commands;
};

TEST_F(ReadInfoTest, H264WithAc3DtsAndTextSubtitles) {
    const std::string source = Sample("main.mkv");
    ASSERT_TRUE(ReadInfo(ctx, "  " + source + " "));
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], "\"" + program + "/MKVToolnix/mkvinfo\" \"" + source + "\" -o \"" +
                               program + "/info.txt\"");
    EXPECT_EQ(commands[1], "\"" + program + "/Checker/x264_checker\" \"" + source + "\"");

    EXPECT_EQ(analysis.strVideoCodec, "avc");
    EXPECT_EQ(form.txtS1.text(), "1");
    EXPECT_EQ(form.txtSFPS.text(), "23.976");
    EXPECT_EQ(analysis.intPixelWidth, 320);
    EXPECT_EQ(analysis.intPixelHeight, 240);
    EXPECT_EQ(form.cmbAudio.items(), (std::vector<std::string>{" eng", " ger"}));
    EXPECT_EQ(analysis.strAudioTracks[1].format, "1");
    EXPECT_EQ(analysis.strAudioTracks[1].track, "3");
    EXPECT_EQ(form.SelectedAudioFormat(), 0);
    EXPECT_EQ(form.txtS2.text(), "2");
    EXPECT_FALSE(form.chkFF.enabled);  // the DTS track
    EXPECT_EQ(form.cmbSubs.items(), (std::vector<std::string>{"eng", "undefined"}));
    EXPECT_EQ(analysis.strSubTracks[0].format, "srt");
    EXPECT_EQ(analysis.strSubTracks[1].format, "ASS");
    EXPECT_EQ(analysis.strSubTracks[1].track, "5");
    EXPECT_EQ(form.chkMP2.value(), 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(program + "/info.txt"));
    EXPECT_NE(ReadWholeFile(program + "/debug.log").find("Video found on track 1"),
              std::string::npos);
}

TEST_F(ReadInfoTest, WideDisplayGivesParAndAspectOptions) {
    ASSERT_TRUE(ReadInfo(ctx, Sample("wide.mkv")));
    EXPECT_EQ(analysis.intPixelWidth, 1440);
    EXPECT_EQ(analysis.strParOpt, ":par=1920:1440");
    EXPECT_EQ(analysis.strAspectOpt, " -aspect 1.3333333 ");
    EXPECT_EQ(form.txtSFPS.text(), "25.000");
}

TEST_F(ReadInfoTest, Mpeg2AndVfwSourcesNeverRunTheChecker) {
    ASSERT_TRUE(ReadInfo(ctx, Sample("vc1.mkv")));  // its audio row must not outlive it

    ASSERT_TRUE(ReadInfo(ctx, Sample("mpeg2.mkv")));
    EXPECT_EQ(analysis.strVideoCodec, "mpeg2");
    // Its own audio track is listed for the repack to take, and nothing of the source before.
    EXPECT_EQ(form.cmbAudio.ListCount(), 1);
    EXPECT_EQ(analysis.strAudioTracks[0].track, "2");
    EXPECT_EQ(analysis.strAudioTracks[1].track, "");

    ASSERT_TRUE(ReadInfo(ctx, Sample("xvid.mkv")));
    EXPECT_TRUE(analysis.bVfwMode);
    EXPECT_EQ(analysis.strVideoCodec, "");
    EXPECT_EQ(form.txtS1.text(), "1");
    // The VFW track's audio is read as any MKV's.
    ASSERT_EQ(form.cmbAudio.ListCount(), 1);
    EXPECT_EQ(form.txtS2.text(), "2");

    ASSERT_TRUE(ReadInfo(ctx, Sample("vc1.mkv")));
    EXPECT_EQ(analysis.strVideoCodec, "vc1");
    EXPECT_EQ(form.cmbAudio.ListCount(), 1);
    EXPECT_FALSE(form.chkVob.enabled);
    EXPECT_FALSE(form.chk25.enabled);
    EXPECT_FALSE(form.chkFF.enabled);
    EXPECT_EQ(CheckerRuns(), 0);
}

const char* kDpbWarning =
    "This AVC file is not playable on PS3 (black screen) or 360 (extreme artifacts).\r"
    "Recode to Xvid(both), MPEG2(PS3) or h264(both), to be able to play this file.\r"
    "The normal output format (MP4/AVCHD/M2TS) is  kept when recoding to h264.";

TEST_F(ReadInfoTest, TooManyReferenceFramesWarnAndSetMpeg2Recode) {
    ASSERT_TRUE(ReadInfo(ctx, Sample("dpb.mkv")));
    EXPECT_EQ(form.chkMP2.value(), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kDpbWarning);
    EXPECT_EQ(host.messages[0].title, "Kestrun");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::Ok);
}

TEST_F(ReadInfoTest, BatchCommandLineAndSplitRunsSetMpeg2RecodeSilently) {
    for (int run = 0; run < 3; ++run) {
        form.chkMP2.SetValue(0);
        analysis.bBatchMode = run == 0;
        analysis.bCmdLineMode = run == 1;
        form.bSplit = run == 2;
        ReadInfo(ctx, Sample("dpb.mkv"));
        EXPECT_EQ(form.chkMP2.value(), 1) << run;
    }
    EXPECT_TRUE(host.messages.empty());
}

// "MPEG2 Recode" with no format re-encodes nothing: the check gives it the platform's format
// and leaves a chosen one alone.
TEST_F(ReadInfoTest, TheDpbCheckNeverLeavesRecodeWithoutAFormat) {
    for (const auto& [platform, chosen, expected] :
         {std::tuple{0, -1, 0}, {2, -1, 0}, {1, -1, 1}, {-1, -1, 1}, {0, 2, 2}}) {
        form.cmbPlatform.SetSelectedIndex(platform);
        form.cmdConv.SetSelectedIndex(chosen);
        ReadInfo(ctx, Sample("dpb.mkv"));
        EXPECT_EQ(form.cmdConv.selectedIndex(), expected) << platform << " " << chosen;
    }
}

TEST_F(ReadInfoTest, FortyAudioTracksListThirtyThree) {
    ASSERT_TRUE(ReadInfo(ctx, Sample("forty.mkv")));
    EXPECT_EQ(form.cmbAudio.ListCount(), 33);
    EXPECT_EQ(analysis.strAudioTracks[32].track, "34");
}

// Another analysis from the same program folder holds the shared report: this one says it waits
// and reads its source once the other is done.
TEST_F(ReadInfoTest, AnAnalysisWaitsForAnotherOneOfTheSameProgramFolder) {
    ToolTurn other(FolderOf(ctx.ToolPath(tool::kMkvInfo)));
    ASSERT_TRUE(other.TryTake());
    std::vector<std::string> shown;
    form.txtProgress.onChange = [&](const Control& c) {
        shown.push_back(c.text());
        other.Release();
    };
    EXPECT_TRUE(ReadInfo(ctx, Sample("main.mkv")));
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "Waiting for another conversion to finish reading its source");
    EXPECT_EQ(analysis.strVideoCodec, "avc");
}

TEST_F(ReadInfoTest, UnreadableSourcesLeaveEmptyListsAndNoReport) {
    WriteWholeFile(root / "empty.mkv", "");
    WriteWholeFile(root / "text.mkv", "plain text, not a film\n");
    const std::string whole = ReadWholeFile(Sample("main.mkv"));
    WriteWholeFile(root / "cut.mkv", whole.substr(0, 300));
    for (const char* name : {"empty.mkv", "text.mkv", "cut.mkv", "missing.mkv"}) {
        EXPECT_FALSE(ReadInfo(ctx, root / name)) << name;
        EXPECT_EQ(analysis.strVideoCodec, "") << name;
        EXPECT_EQ(form.cmbAudio.ListCount(), 0) << name;
        EXPECT_FALSE(form.cmbSubs.visible) << name;
        EXPECT_FALSE(std::filesystem::exists(program + "/info.txt")) << name;
    }
    EXPECT_EQ(CheckerRuns(), 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ReadInfoTest, PathsWithBlanksApostrophesAndNonAsciiLetters) {
    const std::string folder = root / "Filme d'été – ÄÖÜ";
    std::filesystem::create_directory(folder);
    const std::string source = folder + "/l'homme qui rit.mkv";
    std::filesystem::copy_file(Sample("main.mkv"), source);
    ASSERT_TRUE(ReadInfo(ctx, source));
    EXPECT_EQ(analysis.strVideoCodec, "avc");
    EXPECT_EQ(form.cmbAudio.ListCount(), 2);
    EXPECT_EQ(CheckerRuns(), 1);
}

}  // namespace
}  // namespace kestrun::test
