// The re-encoding chains with the recording stand-in: the exact encoder command lines of every
// subtitle case, the rules they share, the muxing script, and the checks of their results.
#include "pipeline/recode.h"

#include <sstream>

#include "chains/convert_mkv.h"
#include "chains/source_chains.h"
#include "chains/split_source.h"
#include "pipeline/stages.h"
#include "pipeline_fixture.h"
#include "platform/tool_table.h"

namespace kestrun::test {
namespace {

TEST(RecodeRules, FrameRateForms) {
    const std::pair<const char*, const char*> cases[] = {{"23.976", "31001/1293"},
                                                         {"29.970", "30000/1001"},
                                                         {"59.940", "60000/1001"},
                                                         {"25.000", "25"},
                                                         {"50.000", "50"},
                                                         {"24.000", "24"},
                                                         {"7", "7"},
                                                         {"", ""}};
    for (const auto& [text, form] : cases) EXPECT_EQ(MencoderFrameRate(text), form) << text;
}

TEST(RecodeRules, SourceBitrate) {
    TempFolder folder;
    const std::pair<std::string, std::optional<int>> cases[] = {
        {"no settings here", 8000},
        {"x264 - core 164 - options: bitrate=1500 ratetol=1.0", 1500},
        {"bitrate=12000 vbv", 12000},
        {"bitrate=800:ratetol", std::nullopt},              // a letter among the five characters
        {"bitrate=40000 x", std::nullopt},                  // beyond 16 bits
        {std::string(99995, 'a') + "bitrate=2000 ", 8000},  // the key ends past the first 100000
        {std::string(99992, 'a') + "bitrate=2000 ", 2000},
    };
    for (const auto& [content, rate] : cases)
        EXPECT_EQ(ReadSourceBitrate(folder.Write("s.mkv", content)), rate) << content.substr(0, 40);
}

TEST(RecodeRules, AviTargetSizeIsTheNegatedSizeInKiB) {
    EXPECT_EQ(AviTargetSize(734003200), "-716800");
    EXPECT_EQ(AviTargetSize(1023), "0");
    EXPECT_EQ(AviTargetSize(1024), "-1");
    EXPECT_EQ(AviTargetSize(8LL << 30), "-8388608");  // beyond 32 bits
}

TEST(RecodeRules, MuxScriptRules) {
    const std::string tmpl =
        "LOAD D:\\KESTRUN\\movie.avi\r\nMAXFILESIZE ON\r\nMAXFILESIZE size\r\nmaxfilesize x\r\n"
        "ENDOFFILE\r\nLOAD after the end\r\n";
    struct Case {
        bool split, dvd;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {true, true, {"MAXFILESIZE ON", "MAXFILESIZE 4000"}},
        {false, true, {"MAXFILESIZE OFF", "MAXFILESIZE 4500"}},
        {false, false, {"MAXFILESIZE OFF", "MAXFILESIZE OFF"}},
    };
    for (const auto& c : cases) {
        std::istringstream in(tmpl);
        const auto lines = MuxScriptLines(in, {c.split, c.dvd, "/w/", "Film", "/w/result/"});
        const std::vector<std::string> expected = {"LOAD /w/movie.avi", c.lines[0], c.lines[1],
                                                   "maxfilesize x", "START /w/result/Film.avi"};
        EXPECT_EQ(lines, expected) << c.split << c.dvd;
    }
    std::istringstream onlyEnd("ENDOFFILE\r\n"), noEnd("REM a\nREM b"), none;
    none.setstate(std::ios::failbit);  // a template that cannot be read
    EXPECT_EQ(MuxScriptLines(onlyEnd, {false, false, "/w/", "F", ""}),
              std::vector<std::string>{"START /w/F.avi"});
    EXPECT_EQ(MuxScriptLines(noEnd, {false, false, "/w/", "F", ""}),
              (std::vector<std::string>{"REM a", "REM b", "START /w/F.avi"}));
    EXPECT_EQ(MuxScriptLines(none, {false, false, "/w/", "F", ""}),
              std::vector<std::string>{"START /w/F.avi"});
}

TEST(RecodeRules, EncoderProgress) {
    EXPECT_EQ(EncoderProgressSuffix("Pos:  12.0s    288f (40%)  24.00fps Trem:   3min   0mb"),
              " 40% (3 min left)");
    EXPECT_EQ(EncoderProgressSuffix("Pos:   1.0s     24f ( 4%)"), " 4% (0 min left)");
    EXPECT_EQ(EncoderProgressSuffix("x264 [info]: kb/s:338.90"), "");
}

class Recode : public PipelineTest {
protected:
    Recode() {
        Prepare(0, 0);
        form.chkMP2.SetValue(1);
        // Stored options that the driver keeps (they name "frameref" and "subfont").
        form.strH264Opts = ":frameref=1:level=41";
        form.strSubOpts = "-subfont-autoscale 1";
        ctx.analysis.strSubTracks[0] = {"eng", "ASS", "3"};
        form.cmbSubs.AddItem("eng");
        form.cmbSubs.SetSelectedIndex(0);
        form.lblSRTFound.visible = false;
        form.txtProgress.onChange = [this](const Control& c) { progress.push_back(c.text()); };
    }
    std::vector<std::string> progress;  // every progress text shown
    std::string M() const { return T(tool::kMEncoder); }
    std::string Font() const { return "\"" + ctx.ToolPath(tool::kMEncoderFont) + "\""; }
    std::string Src() const { return "\"" + source + "\""; }
    std::string Srt() const { return "\"" + source.substr(0, source.size() - 3) + "srt\""; }
    // Picks a subtitle case: 'A' the .srt beside, 'B' a chosen file, 'C' the MKV's track, 'D' none.
    void Subtitles(char kind) {
        form.chkSubs.SetValue(kind == 'D' ? 0 : 1);
        form.lblSRTFound.visible = kind == 'A';
        form.strSubBrowse = kind == 'B' ? "/subs/mine.srt" : "";
    }
    std::vector<std::string> EncoderRuns() const {
        std::vector<std::string> runs;
        for (const auto& c : Commands())
            if (c.rfind(M(), 0) == 0) runs.push_back(c);
        return runs;
    }
};

TEST_F(Recode, H264CommandLinesOfTheFourSubtitleCases) {
    form.txtSFPS.SetText("23.976");
    const std::string head = M() + " -oac copy -font " + Font() + " -utf8 -subfont-autoscale 1";
    const std::string encode =
        " -nosound -noskip -mc 0 -of rawvideo -o \"" + W("movie.h264") +
        "\" -ovc x264 -x264encopts bitrate=8000:frameref=1:level=41 -ofps 31001/1293";
    const std::pair<char, std::string> cases[] = {
        {'A', head + encode + " -vf harddup " + Src() + " -mc 0 -noskip -sub " + Srt()},
        {'B', head + encode + " -vf harddup " + Src() + " -mc 0 -noskip -sub \"/subs/mine.srt\""},
        {'C', head + encode + " -vf  harddup " + Src() + " -mc 0 -noskip -ass -sub \"" +
                  W("movie.ASS") + "\""},
        {'D', M() + encode + " -vf harddup " + Src() + " -mc 0 -noskip"},
    };
    for (const auto& [kind, expected] : cases) {
        Subtitles(kind);
        Conversion conv = MakeConversion();
        EncodeH264(ctx, conv);
        EXPECT_EQ(EncoderRuns().back(), expected) << kind;
        EXPECT_EQ(conv.fps, "23.976");
    }
    // Case C took the track out first.
    EXPECT_EQ(Commands()[2],
              T(tool::kMkvExtract) + " tracks " + Src() + "  3:\"" + W("movie.ASS") + "\"");
}

TEST_F(Recode, H264BitrateForDvdForAvchdFramesAndForSplitPieces) {
    form.chkDVD.SetValue(1);
    form.chkAVCHD.SetValue(1);
    ctx.analysis.intPixelWidth = 1920;
    ctx.analysis.intPixelHeight = 800;
    Conversion conv = MakeConversion();
    EncodeH264(ctx, conv);
    EXPECT_NE(EncoderRuns().back().find("bitrate=-4194304:frameref=1:level=41"), std::string::npos);
    EXPECT_NE(EncoderRuns().back().find(" -vf harddup,expand=1920:1080 "), std::string::npos);

    form.chkDVD.SetValue(0);
    form.bSplit = true;
    form.strH264Bitrate = "1234";  // the first piece's rate
    EncodeH264(ctx, conv);
    EXPECT_NE(EncoderRuns().back().find("bitrate=1234:"), std::string::npos);
}

TEST_F(Recode, Mpeg2ChainCommandsAndItsResultCheck) {
    Subtitles('A');
    form.txtSFPS.SetText("25.000");
    prog.Rules().Write("mkvextract", "cut:2:", 100).Write("Mencoder", "after:-o", 4096);
    Conversion conv = MakeConversion();
    RunMpeg2Chain(ctx, conv);
    const auto runs = EncoderRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], M() + " -nosound  -font " + Font() + " -utf8 -subfont-autoscale 1 -o \"" +
                           W("movie.mpg") +
                           "\" -of mpeg -ovc lavc -lavcopts threads=auto:vcodec=mpeg2video:"
                           "vrc_buf_size=1600:vrc_maxrate=14900:vbitrate=14900:autoaspect:"
                           "keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps 25 -vf harddup " +
                           Src() + " -mc 0 -noskip -sub " + Srt());
    EXPECT_EQ(runs[1], M() + " \"" + W("movie.mpg") + "\" -audiofile \"" + W("movie.ac3") +
                           "\" -oac copy -ovc copy -of mpeg -o \"" + W("Film.2008.mpg") + "\"");
    EXPECT_EQ(form.txtProgress.text(), "Conversion done");
    EXPECT_EQ(ctx.finishedOutput, W("Film.2008.mpg"));
    EXPECT_FALSE(Exists("movie.mpg") || Exists("movie.ac3"));
    // AC-3 goes straight to the encode: no "Encoding mpeg2." and no checkpoint.
    EXPECT_EQ(std::count(progress.begin(), progress.end(), "Encoding mpeg2."), 0);
}

TEST_F(Recode, Mpeg2WithoutSubtitlesAndAMissingResult) {
    Subtitles('D');
    Prepare(1, 0);  // DTS: decoded and encoded to AC-3, then the checkpoint
    prog.Rules().Write("aften", "arg:-1", 100).Write("Mencoder", "after:-o", 10, "-lavcopts");
    Conversion conv = MakeConversion();
    RunMpeg2Chain(ctx, conv);
    ASSERT_FALSE(EncoderRuns().empty());
    EXPECT_EQ(EncoderRuns()[0],
              M() + " -nosound -o \"" + W("movie.mpg") +
                  "\" -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:"
                  "vrc_maxrate=14900:vbitrate=14900:keyint=15:autoaspect:dia=2:trell:mv0 -ofps "
                  "31001/1293 -vf harddup " +
                  Src() + " -mc 0 -noskip");
    EXPECT_EQ(form.txtProgress.text(), "Conversion error.");
    EXPECT_TRUE(Exists("movie.ac3"));  // kept for a look
    EXPECT_TRUE(ctx.finishedOutput.empty());
}

TEST_F(Recode, AudioCheckpointStopsTheXvidChain) {
    Prepare(4, 0);
    Conversion conv = MakeConversion();
    RunXvidChain(ctx, conv);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Error during audio extraction. Temp files not deleted.");
    EXPECT_TRUE(EncoderRuns().empty());
}

TEST_F(Recode, XvidFormsScriptAndAssembly) {
    form.txtSFPS.SetText("29.970");
    form.b360 = true;
    ctx.analysis.intPixelWidth = 1920;
    ctx.analysis.intPixelHeight = 800;
    form.strH264Bitrate = "900";
    form.bSplit = true;
    prog.Rules().Write("mkvextract", "cut:2:", 100);
    const std::string out = "\"" + W("movie.avi") + "\"";
    const std::string enc =
        "-ovc xvid -xvidencopts bitrate=900:max_bframes=2:bquant_ratio=162:bquant_offset=100:"
        "vhq=1:me_quality=6:chroma_me:nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:"
        "nogmc:noqpel -ofps 30000/1001 -vf harddup,scale=1280:533.333333333333";
    const std::string subs = Font() + " -utf8 -subfont-autoscale 1 -of avi -o " + out;
    const std::pair<char, std::string> cases[] = {
        {'A',
         M() + "  -font " + subs + " " + enc + " -nosound " + Src() + " -noskip -sub " + Srt()},
        {'B', M() + "  -font " + subs + "  " + enc + "  -nosound " + Src() +
                  " -noskip -sub \"/subs/mine.srt\""},
        {'C', M() + " -font " + subs + " " + enc + " -nosound " + Src() + "  -noskip -sub \"" +
                  W("movie.ASS") + "\""},
        {'D', M() + "  -of avi -o " + out + " " + enc + " -nosound " + Src() + " -mc 0 -noskip"},
    };
    for (const auto& [kind, expected] : cases) {
        Subtitles(kind);
        Conversion conv = MakeConversion();
        RunXvidChain(ctx, conv);
        EXPECT_EQ(EncoderRuns().back(), expected) << kind;
    }
    EXPECT_EQ(Commands().back(), T(tool::kAviMux) + " \"" + W("kestrun.amg") + "\"");
    // No AVI was written: reported, and the script stays for a look.
    EXPECT_EQ(form.txtProgress.text(), "Conversion error.");
    const std::string script = ReadWholeFile(W("kestrun.amg"));
    EXPECT_EQ(script,
              "START " + W("Film.2008.avi") + "\r\n");  // the recorder's folder has no template
}

// A picture track is taken out under its own extension and named to the encoder as MEncoder took
// such files: a PGS file by -sub, a VobSub pair by -vobsub and the name without ".idx".
TEST_F(Recode, PictureTracksAreExtractedAndNamedForEveryEncoder) {
    form.txtSFPS.SetText("25.000");
    Subtitles('C');
    prog.Rules().Write("mkvextract", "cut:2:", 100);  // the AC-3 the Xvid chain checks
    const struct {
        const char* format;
        std::string extracted, piece;
    } kinds[] = {{"sup", "movie.sup", " -sub \"" + W("movie.sup") + "\""},
                 {"idx", "movie.idx", " -vobsub \"" + W("movie") + "\""}};
    const std::pair<const char*, void (*)(Context&, Conversion&)> chains[] = {
        {"h264", EncodeH264}, {"mpeg2", RunMpeg2Chain}, {"xvid", RunXvidChain}};
    for (const auto& kind : kinds) {
        ctx.analysis.strSubTracks[0] = {"eng", kind.format, "3"};
        for (const auto& [name, chain] : chains) {
            SCOPED_TRACE(std::string(kind.format) + " " + name);
            const size_t before = EncoderRuns().size();
            Conversion conv = MakeConversion();
            chain(ctx, conv);
            const std::string extraction =
                T(tool::kMkvExtract) + " tracks " + Src() + "  3:\"" + W(kind.extracted) + "\"";
            const auto commands = Commands();
            EXPECT_NE(std::find(commands.begin(), commands.end(), extraction), commands.end());
            ASSERT_GT(EncoderRuns().size(), before);
            const std::string run = EncoderRuns()[before];
            EXPECT_EQ(run.substr(run.size() - kind.piece.size()), kind.piece);
            EXPECT_EQ(run.find("-ass"), std::string::npos);
        }
    }
}

TEST_F(Recode, VobRepackCommandAndResultCheck) {
    ctx.analysis.strVideoCodec = "mpeg2";
    ctx.analysis.strAudioTracks[0] = {"eng", "0", "2"};
    ConvertMkv(ctx);
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0], T(tool::kFFmpeg) + " -threads 4 -i " + Src() +
                                 " -map 0:v:0 -map 0:1 -vcodec copy -acodec copy -f vob -copyts -y "
                                 "\"" +
                                 W("Film.2008.mpg") + "\" -bug ms");
    EXPECT_EQ(form.txtProgress.text(), "Conversion error.");  // FFmpeg (the recorder) wrote nothing
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Error creating " + W("Film.2008.mpg") +
                                         ", quitting attempt. Temp files not deleted.");
}

// MPEG-2 video: the repack copies the chosen track when a VOB carries it and makes AC-3 of any
// other first; an AVCHD folder or an M2TS stream without a re-encode is refused before any
// work; a chosen re-encode is followed.
TEST_F(Recode, Mpeg2SourcesFollowTheOptionsAndTheChosenTrack) {
    struct Case {
        const char* name;
        int audioFormat;                // button, or -1 for a track decoded in-process
        int avchd, m2ts, recode;        // recode: the format list's place, -1 none
        const char* firstCommandStart;  // empty: nothing runs
        const char* message;            // part of the one message, empty: none
    };
    const Case cases[] = {
        {"AC-3 copied", 0, 0, 0, -1, "FFmpeg", ""},
        {"MP2 copied", 5, 0, 0, -1, "FFmpeg", ""},
        // The in-process decoder cannot read the stand-in source: nothing is muxed.
        {"DTS made AC-3", 1, 0, 0, -1, "", "audio extraction"},
        {"FLAC made AC-3", -1, 0, 0, -1, "", "audio extraction"},
        {"AVCHD without a re-encode", 0, 1, 0, -1, "", "needs an H.264 re-encode"},
        {"M2TS without a re-encode", 0, 0, 1, -1, "", "needs an H.264 re-encode"},
        {"H.264 re-encode", 0, 1, 0, 1, "Mencoder", ""},
    };
    ctx.analysis.strVideoCodec = "mpeg2";
    form.chkSubs.SetValue(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.messages.clear();
        const size_t before = Commands().size();
        ctx.analysis.strAudioTracks[0] = {"eng", c.audioFormat < 0 ? "wav" : "0", "2"};
        form.SelectAudioFormat(std::max(c.audioFormat, 0));
        form.chkAVCHD.SetValue(c.avchd);
        form.chkVob.SetValue(c.m2ts);
        form.cmdConv.SetSelectedIndex(c.recode);
        form.chkMP2.SetValue(c.recode >= 0 ? 1 : 0);
        ConvertMkv(ctx);
        if (*c.firstCommandStart == 0) {
            EXPECT_EQ(Commands().size(), before);
        } else {
            ASSERT_GT(Commands().size(), before);
            EXPECT_NE(Commands()[before].find(std::string("/") + c.firstCommandStart + "\""),
                      std::string::npos)
                << Commands()[before];
        }
        if (*c.message != 0) {
            ASSERT_FALSE(host.messages.empty());
            EXPECT_NE(host.messages[0].text.find(c.message), std::string::npos)
                << host.messages[0].text;
        }
        for (const char* name : {"Film.2008.mpg", "Film.2008.mp4"})
            std::filesystem::remove(W(name));
    }
}

TEST_F(Recode, SplitDecisions) {
    struct Case {
        std::int64_t bytes;
        int check1, dvd, mp2, format;
        std::int64_t pieces;
    };
    const Case cases[] = {
        {9000000000, 1, 0, 0, 0, 2}, {4190000000, 1, 0, 0, 1, 1}, {4189999000, 1, 0, 0, 1, 0},
        {2400000000, 1, 0, 1, 0, 1}, {2400000000, 1, 0, 1, 1, 0}, {9000000000, 0, 0, 0, 0, 0},
        {9000000000, 1, 1, 0, 0, 0}, {9000000000, 1, 0, 0, 2, 0}, {9000000000, 1, 0, 1, 2, 0},
    };
    for (const auto& c : cases) {
        std::filesystem::resize_file(source, c.bytes);  // sparse
        form.Check1.SetValue(c.check1);
        form.chkDVD.SetValue(c.dvd);
        form.cmdConv.SetSelectedIndex(c.format);
        form.chkMP2.SetValue(c.mp2);
        Conversion conv = MakeConversion();
        EXPECT_EQ(SplitCount(ctx, conv), c.pieces) << c.bytes << " " << c.format;
    }
    Conversion noMkvmerge = MakeConversion();
    noMkvmerge.mkvmerge = "/missing/mkvmerge";
    EXPECT_EQ(SplitCount(ctx, noMkvmerge), 0);
}

TEST_F(Recode, SplitDecisionAndMkvmergeCommand) {
    form.Check1.SetValue(1);
    form.chkMP2.SetValue(0);
    // A sparse source of 9000000 kB: two cuts, three pieces of 3000000 kB.
    std::filesystem::resize_file(source, 9000000000LL);
    ctx.analysis.strSubTracks[0] = {"eng", "srt", "4"};
    form.chkSubs.SetValue(1);
    ConvertMkv(ctx);
    const auto merges = RunsOf(prog.Runs(), "mkvmerge");
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0], T(tool::kMkvMerge) + " -o \"" + W("split/Film.2008.mkv") +
                                 "\" -d 1 -a 2  -s 4 " + Src() + " --split 3000000K");
    // mkvmerge (the recorder) wrote nothing: said so, and the split folder is gone again.
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.find("mkvmerge wrote no pieces"), 0u);
    EXPECT_FALSE(std::filesystem::exists(W("split")));
    EXPECT_FALSE(form.bSplit || form.bSubs);
}

}  // namespace
}  // namespace kestrun::test
