// Which streams the extraction takes out of the MKV, for every target and option.
#include "pipeline/stages.h"
#include "pipeline_fixture.h"
#include "platform/tool_table.h"

namespace kestrun::test {
namespace {

class Extraction : public PipelineTest {
protected:
    std::string Tracks() const { return T(tool::kMkvExtract) + " tracks \"" + source + "\""; }
    std::string Target(const std::string& track, const std::string& file) const {
        return " " + track + ":\"" + W(file) + "\"";
    }
    std::vector<std::string> Extract() {
        Conversion conv = MakeConversion();
        ExtractStreams(ctx, conv);
        last = conv.lastCommand;
        return Commands();
    }
    std::string last;
};

TEST_F(Extraction, Ps3WithAacTakesVideoAndAudio) {
    Prepare(4, 0);
    EXPECT_EQ(Extract(), std::vector<std::string>{Tracks() + Target("1", "movie.h264") +
                                                  Target("2", "movie.aac")});
}

TEST_F(Extraction, XboxWithAacAndOtherAudioTakeOnlyTheVideo) {
    Prepare(4, 1);
    EXPECT_EQ(Extract(), std::vector<std::string>{Tracks() + Target("1", "movie.h264")});
    Prepare(0, 0);
    EXPECT_EQ(Extract().back(), Tracks() + Target("1", "movie.h264"));
}

TEST_F(Extraction, VorbisSafeSyncAndM2tsTakeVideoAndAudio) {
    Prepare(2, 0);
    EXPECT_EQ(Extract().back(), Tracks() + Target("1", "movie.h264") + Target("2", "movie.ogg"));
    Prepare(1, 1);
    form.chkFF.SetValue(1);
    EXPECT_EQ(Extract().back(), Tracks() + Target("1", "movie.h264") + Target("2", "movie.dts"));
}

TEST_F(Extraction, M2tsWithSafeSyncTakesOnlyTheAudioAndNothingForAc3) {
    Prepare(3, 0);
    form.chkVob.SetValue(1);
    form.chkFF.SetValue(1);  // caption "Fast Mux": the box only
    EXPECT_EQ(Extract(), std::vector<std::string>{Tracks() + Target("2", "movie.mp3")});
    Prepare(0, 0);
    EXPECT_EQ(Extract().size(), 1u);  // no second command
    EXPECT_EQ(last, "");
}

TEST_F(Extraction, VfwModeWrapsTheVideoAsAviThenTakesTheRawStream) {
    Prepare(0, 0);
    ctx.analysis.bVfwMode = true;
    const auto commands = Extract();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], Tracks() + Target("1", "movie.avi"));
    EXPECT_EQ(commands[1], T(tool::kMP4Box) + " -aviraw video \"" + W("movie.avi") + "\"");
    EXPECT_EQ(last, commands[1]);
}

TEST_F(Extraction, AvchdWithoutSafeSyncTakesOnlyTheRawVideo) {
    Prepare(4, 0);
    form.chkAVCHD.SetValue(1);
    EXPECT_EQ(Extract(), std::vector<std::string>{Tracks() + Target("1", "movie_raw.h264")});
}

TEST_F(Extraction, RecodeAndAvchdWithSafeSyncExtractNothing) {
    Prepare(0, 0);
    form.cmdConv.SetSelectedIndex(0);
    form.chkMP2.SetValue(1);
    EXPECT_TRUE(Extract().empty());
    form.chkMP2.SetValue(0);
    form.chkAVCHD.SetValue(1);
    form.chkFF.SetValue(1);
    EXPECT_TRUE(Extract().empty());
}

TEST_F(Extraction, SourcePathIsTrimmed) {
    Prepare(0, 1);
    form.strFullname = "  " + source + " ";
    EXPECT_EQ(Extract().back(), Tracks() + Target("1", "movie.h264"));
}

TEST_F(Extraction, SubtitlePieceForTheChosenTrack) {
    ctx.analysis.strSubTracks[0] = {"eng", "srt", "03"};
    ctx.analysis.strSubTracks[1] = {"ger", "ASS", "4"};
    form.cmbSubs.AddItem("eng");
    form.cmbSubs.AddItem("ger");
    form.cmbSubs.SetSelectedIndex(0);
    form.chkSubs.SetValue(1);
    EXPECT_EQ(SubtitlePiece(ctx), " 3:\"" + W("movie.srt") + "\"");
    form.cmbSubs.SetSelectedIndex(1);
    std::string format;
    EXPECT_EQ(SubtitlePiece(ctx, &format), " 4:\"" + W("movie.ASS") + "\"");
    EXPECT_EQ(format, "ASS");

    form.strSubBrowse = "/subs/own.srt";
    EXPECT_EQ(SubtitlePiece(ctx), "");
    form.strSubBrowse.clear();
    form.lblSRTFound.visible = true;
    EXPECT_EQ(SubtitlePiece(ctx), "");
    form.lblSRTFound.visible = false;
    form.cmbSubs.SetSelectedIndex(-1);
    EXPECT_EQ(SubtitlePiece(ctx), "");
}

TEST_F(Extraction, Vc1ChainTakesTheVideoAndTurnsTheAudioIntoWma) {
    Prepare(0, 0);
    form.txtFile.SetText(SampleMkv());
    form.strFullname = SampleMkv();
    prog.Rules().Write("mkvextract", "cut:1:", 500).Write("FFmpeg", "arg:-1", 500);
    Conversion conv = MakeConversion();
    RunVc1Chain(ctx, conv);
    const auto& c = Commands();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0],
              T(tool::kMkvExtract) + " tracks \"" + SampleMkv() + "\"" + Target("1", "movie.wvc1"));
    EXPECT_EQ(c[1], T(tool::kFFmpeg) + " -i \"" + W("movie.wav") +
                        "\" -acodec wmav2 -ab 192000 -ac 2 \"" + W("movie.wma") + "\"");
    EXPECT_EQ(form.txtProgress.text(), "Conversion Done");
    EXPECT_FALSE(Exists("movie.wav"));  // decoded by the chain, removed by its clean-up
    EXPECT_TRUE(Exists("movie.wma"));
}

}  // namespace
}  // namespace kestrun::test
