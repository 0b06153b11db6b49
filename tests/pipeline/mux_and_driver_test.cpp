// MP4 muxing with its three command forms and its checkpoint, the clean-up lists, and the
// driver's prologue and decision tree.
#include <functional>
#include <map>

#include "app/handlers.h"
#include "chains/convert_mkv.h"
#include "pipeline/stages.h"
#include "pipeline_fixture.h"
#include "platform/tool_table.h"

namespace kestrun::test {
namespace {

class Mp4Mux : public PipelineTest {
protected:
    std::string Tail() const {
        return " \"" + W("Film_2008.mp4") + "\" -tmp \"" + work.path().string() + "\"";
    }
};

TEST_F(Mp4Mux, AudioAndVideoFormNamesTheBaseWithUnderscores) {
    Prepare(0, 0);
    ctx.analysis.strParOpt = ":par=1920:1440";
    prog.Rules().Write("MP4Box", "arg:-3", 4096);
    for (const char* name : {"movie.aac", "movie.h264", "movie.ac3", "keep.txt"})
        work.Write(name, "x");
    work.Write("movie.ac3", "x");
    Conversion conv = MakeConversion();
    MuxMp4(ctx, conv);
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0], T(tool::kMP4Box) + " -add \"" + W("movie.aac") + "\" -add \"" +
                                 W("movie.h264") + ":fps=23.976:par=1920:1440\"" + Tail());
    EXPECT_EQ(form.txtProgress.text(), "Conversion done");
    EXPECT_EQ(ctx.finishedOutput, W("Film_2008.mp4"));
    EXPECT_FALSE(Exists("movie.aac") || Exists("movie.h264") || Exists("movie.ac3"));
    EXPECT_TRUE(Exists("keep.txt"));
    EXPECT_EQ(host.topmost.back(), true);
}

TEST_F(Mp4Mux, VideoIntoTheNeroFileOnlyWhenNeroWroteIt) {
    Prepare(0, 0);
    Conversion conv = MakeConversion();
    conv.neroFound = true;  // found but did not write: the audio comes from movie.aac
    MuxMp4(ctx, conv);
    conv.neroWroteMp4 = true;
    conv.fps = "25.000";
    MuxMp4(ctx, conv);
    ASSERT_EQ(Commands().size(), 2u);
    EXPECT_EQ(Commands()[0].find(" -add \"" + W("movie.aac") + "\""), T(tool::kMP4Box).size());
    EXPECT_EQ(Commands()[1],
              T(tool::kMP4Box) + "  -fps 25.000 -add \"" + W("movie.h264") + "\"" + Tail());
}

TEST_F(Mp4Mux, VfwFormTakesTheRawStreamFromTheAviAndKeepsTheSound) {
    Prepare(0, 0);
    ctx.analysis.bVfwMode = true;
    Conversion conv = MakeConversion();
    MuxMp4(ctx, conv);
    conv.neroWroteMp4 = true;
    MuxMp4(ctx, conv);
    ASSERT_EQ(Commands().size(), 2u);
    EXPECT_EQ(Commands()[0], T(tool::kMP4Box) + " -add \"" + W("movie.aac") +
                                 "\" -fps 23.976 -add \"" + W("movie_video.h264") + "\"" + Tail());
    EXPECT_EQ(Commands()[1],
              T(tool::kMP4Box) + " -fps 23.976 -add \"" + W("movie_video.h264") + "\"" + Tail());
}

TEST_F(Mp4Mux, AnUnknownFrameRateIsLeftToTheStream) {
    Prepare(0, 0);
    form.txtSFPS.SetText("unknown");
    Conversion conv = MakeConversion();
    MuxMp4(ctx, conv);
    ctx.analysis.bVfwMode = true;
    MuxMp4(ctx, conv);
    ASSERT_EQ(Commands().size(), 2u);
    EXPECT_EQ(Commands()[0], T(tool::kMP4Box) + " -add \"" + W("movie.aac") + "\" -add \"" +
                                 W("movie.h264") + "\"" + Tail());
    EXPECT_EQ(Commands()[1], T(tool::kMP4Box) + " -add \"" + W("movie.aac") + "\" -add \"" +
                                 W("movie_video.h264") + "\"" + Tail());
}

TEST_F(Mp4Mux, ANeroFileThatDidNotGrowHasNoVideo) {
    Prepare(0, 0);
    work.Write("Film_2008.mp4", std::string(300, 'a'));
    work.Write("movie.h264", "x");
    Conversion conv = MakeConversion();
    conv.neroWroteMp4 = true;
    MuxMp4(ctx, conv);  // MP4Box adds nothing
    EXPECT_EQ(form.txtProgress.text(), "Conversion Error");
    EXPECT_TRUE(Exists("movie.h264"));
    EXPECT_TRUE(ctx.finishedOutput.empty());
}

TEST_F(Mp4Mux, EmptyOrMissingResultKeepsTheIntermediateFiles) {
    Prepare(0, 0);
    work.Write("movie.h264", "x");
    prog.Rules().Write("MP4Box", "arg:-3", 0);
    Conversion conv = MakeConversion();
    MuxMp4(ctx, conv);
    EXPECT_EQ(form.txtProgress.text(), "Conversion Error");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "Error creating " + W("Film_2008.mp4") +
                  ", quitting attempt. Temp files (movie.h264 + movie.aac) not deleted.");
    EXPECT_EQ(host.messages[0].title, "MP4box error");
    EXPECT_TRUE(Exists("movie.h264"));
    EXPECT_TRUE(ctx.finishedOutput.empty());
}

TEST_F(Mp4Mux, CleanupSkipsReadOnlyFilesAndTouchesNothingElse) {
    for (const char* name :
         {"movie.ac3", "movie_raw.h264", "movie.meta", "movie.wav", "Film.mp4", "movie.mpg"})
        work.Write(name, "x");
    std::filesystem::permissions(W("movie.ac3"), std::filesystem::perms::owner_read);
    CleanupAfterMp4(ctx);
    EXPECT_TRUE(Exists("movie.ac3"));
    EXPECT_TRUE(Exists("movie_raw.h264") && Exists("movie.meta") && Exists("movie.wav"));
    CleanupAfterTs(ctx);
    EXPECT_FALSE(Exists("movie_raw.h264") || Exists("movie.meta"));
    CleanupAfterVc1(ctx);
    EXPECT_FALSE(Exists("movie.wav"));
    EXPECT_TRUE(Exists("Film.mp4") && Exists("movie.mpg"));
}

using Driver = PipelineTest;

TEST_F(Driver, MissingFolderOrSourceTextStopsBeforeAnyTool) {
    Prepare(0, 0);
    form.txtTMP.SetText(work.slash() + "missing/");
    form.strSubBrowse = "/x.srt";
    ConvertMkv(ctx);
    form.txtTMP.SetText(work.slash());
    form.txtFile.SetText("");
    ConvertMkv(ctx);
    ASSERT_EQ(host.messages.size(), 2u);
    for (const auto& m : host.messages) {
        EXPECT_EQ(m.text, "Output folder does not exist.");
        EXPECT_EQ(m.title, "Folder error");
        EXPECT_EQ(m.icon, MsgIcon::Critical);
    }
    EXPECT_TRUE(form.strSubBrowse.empty());
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Driver, AVanishedSourceIsReportedOnce) {
    Prepare(0, 0);
    std::filesystem::remove(source);
    ConvertMkv(ctx);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find(source), std::string::npos);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Driver, AudioInNoKnownFormatIsRefusedBeforeExtraction) {
    form.cmbPlatform.SetSelectedIndex(0);
    ConvertMkv(ctx);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].title, "Audio error");
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Driver, WholeMp4ChainInOrder) {
    Prepare(4, 0);  // AAC on the PS3: extracted with the video, muxed as it is
    prog.Rules()
        .Write("mkvextract", "cut:1:", 2048)
        .Write("mkvextract", "cut:2:", 512)
        .Write("MP4Box", "arg:-3", 4096);
    ConvertMkv(ctx);
    const auto& c = Commands();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_NE(c[0].find(" tracks "), std::string::npos);
    EXPECT_NE(c[1].find("MP4Box"), std::string::npos);
    EXPECT_EQ(form.txtProgress.text(), "Conversion done");
    EXPECT_EQ(form.strMKVPath, media.slash());
    EXPECT_EQ(form.strMKV, ctx.ToolPath(tool::kMkvExtract));
    EXPECT_NE(form.strH264Opts.find("frameref=2"), std::string::npos);
    EXPECT_FALSE(Exists("movie.h264") || Exists("movie.aac"));
    EXPECT_TRUE(Exists("Film_2008.mp4"));
    // The log holds the extraction and the MP4Box command.
    const std::string log = ReadWholeFile(ctx.ToolPath(tool::kDebugLog));
    EXPECT_NE(log.find(c[0]), std::string::npos);
    EXPECT_NE(log.find(c[1]), std::string::npos);
}

TEST_F(Driver, AnEarlierResultIsNeitherAppendedToNorDeleted) {
    Prepare(4, 0);
    work.Write("Film_2008.mp4", "earlier");
    ConvertMkv(ctx);
    EXPECT_TRUE(Commands().empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find(W("Film_2008.mp4")), std::string::npos);
    EXPECT_EQ(ReadWholeFile(W("Film_2008.mp4")), "earlier");
}

TEST_F(Driver, StoredH264OptionsWithFramerefStay) {
    form.strH264Opts = ":frameref=4";
    Prepare(4, 0);
    ConvertMkv(ctx);
    EXPECT_EQ(form.strH264Opts, ":frameref=4");
}

TEST_F(Driver, BatchRunsAreNotStoppedByOurOwnMessages) {
    Prepare(0, 0);
    ctx.analysis.bBatchMode = true;
    form.chkVob.SetValue(1);
    ConvertMkv(ctx);  // tsMuxeR (the recorder) writes nothing
    EXPECT_TRUE(host.messages.empty());
    EXPECT_NE(form.txtProgress.text().find("was not created"), std::string::npos);
}

TEST_F(Driver, StaleIntermediatesNeverPassForThisRunsOutput) {
    Prepare(0, 0);  // AC-3: the decoder fails on the fake source, the backup writes nothing
    work.Write("movie.aac", "stale");
    work.Write("movie.h264", "stale");
    ConvertMkv(ctx);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].text, "Error during aac conversion.");
    EXPECT_FALSE(Exists("movie.aac"));
}

TEST_F(Driver, ATrackDelayGoesToMp4BoxUnlessTheDecodedWavCarriesIt) {
    const struct {
        int format;
        std::map<int, std::int64_t> starts;
        bool realSource;
        const char* piece;
    } cases[] = {
        {4, {{1, 0}, {2, 500}}, false, ":delay=500\""},  // AAC muxed as extracted
        {4, {{1, 40}, {2, 0}}, false, ":delay=-40\""},
        {4, {{1, 0}, {2, 0}}, false, "\""},
        {4, {}, false, "\""},
        {0, {{1, 0}, {2, 500}}, true, "\""},  // AC-3: the WAV starts with the silence
    };
    for (const auto& c : cases) {
        Prepare(c.format, 0);
        ctx.analysis.trackStartMs = c.starts;
        form.strFullname = c.realSource ? SampleMkv() : source;
        form.txtFile.SetText(form.strFullname);
        const size_t before = Commands().size();
        ConvertMkv(ctx);
        ASSERT_GT(Commands().size(), before);
        EXPECT_NE(Commands().back().find("MP4Box\" -add \"" + W("movie.aac") + c.piece),
                  std::string::npos)
            << Commands().back();
    }
}

// The DPB check ticks "MPEG2 Recode" whatever the list shows; with no format chosen nothing is
// re-encoded and the source's video goes to the MP4 chain.
TEST_F(Driver, RecodeWithoutAFormatTakesTheMuxingChain) {
    Prepare(4, 0);
    form.cmdConv.SetSelectedIndex(-1);
    form.chkMP2.SetValue(1);
    prog.Rules().Write("mkvextract", "cut:1:", 2048).Write("MP4Box", "arg:-3", 4096);
    ConvertMkv(ctx);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.txtProgress.text(), "Conversion done");
}

// A failed VC-1 run must not report the movie.wma an earlier run left in the folder.
TEST_F(Driver, Vc1ChainJudgesOnlyFilesThisRunWrote) {
    Prepare(0, 0);
    ctx.analysis.strVideoCodec = "vc1";
    work.Write("movie.wma", "earlier run");
    work.Write("movie.wvc1", "earlier run");
    ConvertMkv(ctx);  // the recorder writes nothing
    EXPECT_TRUE(ctx.finishedOutput.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].title, "VC-1 error");
    EXPECT_FALSE(Exists("movie.wma") || Exists("movie.wvc1"));

    host.messages.clear();
    prog.Rules().Write("mkvextract", "cut:1:", 100).Write("FFmpeg", "arg:-1", 100);
    ConvertMkv(ctx);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(ctx.finishedOutput, W("movie.wma"));
}

TEST_F(Driver, NeroIsProbedInOrder) {
    Prepare(4, 0);
    prog.Install("/neroAacEnc_SSE");
    ConvertMkv(ctx);  // AAC on the PS3 does not encode; only the probe is looked at here
    const std::string log = ReadWholeFile(ctx.ToolPath(tool::kDebugLog));
    EXPECT_EQ(log.find("neroAacEnc"), std::string::npos);
}

}  // namespace
}  // namespace kestrun::test
