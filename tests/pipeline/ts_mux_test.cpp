// The AVCHD and M2TS chains: the lines of movie.meta for the option combinations, the tsMuxeR
// command, and what each chain does with tsMuxeR's result.
#include <filesystem>
#include <fstream>
#include <functional>

#include "chains/convert_mkv.h"
#include "chains/source_chains.h"
#include "pipeline/stages.h"
#include "pipeline_fixture.h"
#include "platform/tool_table.h"
#include "support/samples.h"

namespace kestrun::test {
namespace {

constexpr const char* kMuxOpt =
    "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 ";

// Public, so that the rows of a table can set up fresh fixtures of their own.
class TsMux : public PipelineTest {
public:
    using PipelineTest::Commands;
    using PipelineTest::ctx;
    using PipelineTest::form;
    using PipelineTest::host;
    using PipelineTest::MakeConversion;
    using PipelineTest::Prepare;
    using PipelineTest::prog;
    using PipelineTest::source;
    using PipelineTest::W;
    using PipelineTest::work;

    void TestBody() override {}  // rows of a table are fixtures of their own

    TsMux() {
        ctx.analysis.intPixelWidth = 1920;
        ctx.analysis.intPixelHeight = 1080;
    }
    std::string Q(const std::string& text) const { return "\"" + text + "\""; }
    std::string Src() const { return Q(source); }
    void ChooseSubtitleTrack() {
        ctx.analysis.strSubTracks[0] = {"eng", "srt", "3"};
        form.cmbSubs.AddItem("eng");
        form.cmbSubs.SetSelectedIndex(0);
        form.chkSubs.SetValue(1);
    }
    std::string Fonts(const std::string& offset, int width, int height) const {
        return " ,font-name=\"Arial\",font-size=42,font-color=0x00FFFFFF,font-charset=1,"
               "bottom-offset=" +
               offset + ",font-border=1,text-align=center,video-width=" + std::to_string(width) +
               ",video-height=" + std::to_string(height);
    }
    std::string TsMuxer(const std::string& out) const {
        return T(tool::kTsMuxer) + " " + Q(W("movie.meta")) + " " + Q(W(out));
    }
    // A structure as tsMuxeR writes it, made by the recorder.
    void RecorderWritesStructure() {
        const std::string root = W("Film.2008") + "/BDMV/";
        prog.Rules()
            .MakeFolder("tsmuxer", W("Film.2008"))
            .MakeFolder("tsmuxer", W("Film.2008/BDMV"));
        for (const char* folder : {"PLAYLIST", "CLIPINF", "STREAM"})
            prog.Rules().MakeFolder("tsmuxer", root + folder);
        prog.Rules()
            .Write("tsmuxer", root + "PLAYLIST/00000.mpls", 100)
            .Write("tsmuxer", root + "CLIPINF/00000.clpi", 100)
            .Write("tsmuxer", root + "STREAM/00000.m2ts", 6144);
    }
};

TEST_F(TsMux, AvchdMetaLines) {
    struct Row {
        const char* name;
        int audio;  // format button: 0 ac3 1 dts 2 ogg 3 mp3 4 aac 5 mp2
        std::function<void(TsMux&)> setUp;
        std::vector<std::string> (*expected)(const TsMux&);
    };
    const Row rows[] = {
        {"H.264 from the work folder, AC-3 from the MKV", 0, [](TsMux&) {},
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Src() + ", track=2"};
         }},
        {"Fast Mux: H.264 from the MKV with the level; DTS stays", 1,
         [](TsMux& t) { t.form.chkFF.SetValue(1); },
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Src() + ", track=1, level=4.1, fps=23.976",
                 "A_DTS, " + t.Src() + ", track=2"};
         }},
        {"VC-1 whatever Fast Mux says; AAC converted", 4,
         [](TsMux& t) { t.ctx.analysis.strVideoCodec = "vc1"; },
         [](const TsMux& t) {
             return std::vector<std::string>{std::string(kMuxOpt) + " --vbv-len=500",
                                             "V_MS/VFW/WVC1, " + t.Src() + ", track=1, fps=23.976",
                                             "A_AC3, " + t.Q(t.W("movie.ac3"))};
         }},
        {"MP3 and MP2 converted, as Blu-ray carries no MPEG audio", 3, [](TsMux&) {},
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Q(t.W("movie.ac3"))};
         }},
        {"1920x800 with a text track: bottom offset 180", 0,
         [](TsMux& t) {
             t.ctx.analysis.intPixelHeight = 800;
             t.ChooseSubtitleTrack();
         },
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Src() + ", track=2",
                 "S_TEXT/UTF8, " + t.Src() + t.Fonts("180", 1920, 800) +
                     ", track=3, fps=23.976, lang=eng"};
         }},
        {"an ASS track is drawn as text too", 0,
         [](TsMux& t) {
             t.ChooseSubtitleTrack();
             t.ctx.analysis.strSubTracks[0].format = "ASS";
         },
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Src() + ", track=2",
                 "S_TEXT/UTF8, " + t.Src() + t.Fonts("50", 1920, 1080) +
                     ", track=3, fps=23.976, lang=eng"};
         }},
        {"the source's chapters are the marks", 3,
         [](TsMux& t) {
             t.ctx.analysis.chapterStartsMs = {0, 3000, 187500, 3723004};
         },
         [](const TsMux& t) {
             return std::vector<std::string>{
                 "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  "
                 "--custom-chapters=00:00:00.000;00:00:03.000;00:03:07.500;01:02:03.004  "
                 "--vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Q(t.W("movie.ac3"))};
         }},
        {"picture tracks are taken from the MKV at the video's size", 0,
         [](TsMux& t) {
             t.ctx.analysis.intPixelHeight = 800;
             t.ChooseSubtitleTrack();
             t.ctx.analysis.strSubTracks[0].format = "sup";
             t.ctx.analysis.strSubTracks[1] = {"fre", "idx", "4"};
             t.form.cmbSubs.AddItem("fre (VobSub)");
         },
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Src() + ", track=2",
                 "S_HDMV/PGS, " + t.Src() +
                     ", video-width=1920,video-height=800, track=3, fps=23.976, lang=eng"};
         }},
        {"a VobSub track", 0,
         [](TsMux& t) {
             t.ChooseSubtitleTrack();
             t.ctx.analysis.strSubTracks[1] = {"fre", "idx", "4"};
             t.form.cmbSubs.AddItem("fre (VobSub)");
             t.form.cmbSubs.SetSelectedIndex(1);
         },
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Src() + ", track=2",
                 "S_VOBSUB, " + t.Src() +
                     ", video-width=1920,video-height=1080, track=4, fps=23.976, lang=fre"};
         }},
        {"an SRT beside the source wins over the track; 1920x817 gives a half", 0,
         [](TsMux& t) {
             t.ctx.analysis.intPixelHeight = 817;
             t.ChooseSubtitleTrack();
             t.form.lblSRTFound.visible = true;
         },
         [](const TsMux& t) {
             const std::string srt = t.source.substr(0, t.source.size() - 3) + "srt";
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Src() + ", track=2",
                 "S_TEXT/UTF8, " + t.Q(srt) + t.Fonts("171.5", 1920, 817) + ", , fps=23.976"};
         }},
        {"the user's file wins over both; 1280x720 gives 50", 0,
         [](TsMux& t) {
             t.ctx.analysis.intPixelWidth = 1280;
             t.ctx.analysis.intPixelHeight = 720;
             t.ChooseSubtitleTrack();
             t.form.lblSRTFound.visible = true;
             t.form.strSubBrowse = "/subs/mine.srt";
         },
         [](const TsMux& t) {
             return std::vector<std::string>{
                 std::string(kMuxOpt) + " --vbv-len=500",
                 "V_MPEG4/ISO/AVC, " + t.Q(t.W("movie.h264")) + ", fps=23.976",
                 "A_AC3, " + t.Src() + ", track=2",
                 "S_TEXT/UTF8, \"/subs/mine.srt\"" + t.Fonts("50", 1280, 720) + ", fps=23.976"};
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TsMux fresh;
        fresh.Prepare(row.audio, 0);
        fresh.form.chkAVCHD.SetValue(1);
        row.setUp(fresh);
        const Conversion conv = fresh.MakeConversion();
        EXPECT_EQ(AvchdMetaLines(fresh.ctx, conv), row.expected(fresh));
    }
}

TEST_F(TsMux, SplitOptionFromTheSourceSize) {
    struct Row {
        std::int64_t size;
        int check1, dvd;
        const char* expected;
    };
    const Row rows[] = {
        {9'000'000'000, 1, 0, " --split-size=3000MB "},
        {3'900'000'000, 1, 1, ""},  // below the limit, even with "Fit to DVD"
        {4'000'500'000, 1, 0, " --split-size=2000MB "},
        {100, 0, 1, " --split-size=4.5GB "},
        {9'000'000'000, 0, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        std::filesystem::resize_file(source, row.size);  // sparse: no disk space used
        form.Check1.SetValue(row.check1);
        form.chkDVD.SetValue(row.dvd);
        EXPECT_EQ(AvchdSplitOption(ctx), row.expected);
    }
}

TEST_F(TsMux, M2tsMetaHasTwoLines) {
    Prepare(0, 0);
    form.chkVob.SetValue(1);
    Conversion conv = MakeConversion();
    EXPECT_EQ(M2tsMetaLines(ctx, conv),
              (std::vector<std::string>{"V_MPEG4/ISO/AVC, " + Q(W("movie.h264")) + ", fps=23.976",
                                        "A_AC3, " + Src() + ", track=2"}));
    form.chkFF.SetValue(1);
    conv.audioFormat = "dts";
    EXPECT_EQ(
        M2tsMetaLines(ctx, conv),
        (std::vector<std::string>{"V_MPEG4/ISO/AVC, " + Src() + ", track=1, level=4.1, fps=23.976",
                                  "A_AC3, " + Q(W("movie.ac3"))}));
    conv.audioDelayMs = 500;  // not moved into place by a decoder on the way
    EXPECT_EQ(M2tsMetaLines(ctx, conv)[1], "A_AC3, " + Q(W("movie.ac3")) + ", timeshift=500ms");
    ctx.analysis.bVfwMode = true;  // a VFW video is only ever in the work folder
    EXPECT_EQ(M2tsMetaLines(ctx, conv)[0],
              "V_MPEG4/ISO/AVC, " + Q(W("movie.h264")) + ", fps=23.976");
}

TEST_F(TsMux, M2tsChainRenamesTheStreamAndCleansUp) {
    Prepare(0, 0);
    form.chkVob.SetValue(1);
    prog.Rules().Write("tsmuxer", "arg:-1", 6144);
    work.Write("movie.ac3", "x");
    work.Write("movie.meta", "an older meta file\r\nwith two lines\r\n");
    Conversion conv = MakeConversion();
    conv.tsmuxer = ctx.ToolPath(tool::kTsMuxer);
    RunM2tsChain(ctx, conv);
    ASSERT_FALSE(Commands().empty());
    EXPECT_EQ(Commands().back(), TsMuxer("Film.2008.m2ts"));
    EXPECT_EQ(Commands().front(), T(tool::kH264Info));
    EXPECT_TRUE(Exists("Film.2008.mpg"));
    EXPECT_FALSE(Exists("Film.2008.m2ts") || Exists("movie.ac3") || Exists("movie.meta"));
    EXPECT_EQ(form.txtProgress.text(), "Conversion done");
    EXPECT_EQ(ctx.finishedOutput, W("Film.2008.mpg"));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(TsMux, FailedMuxKeepsTheIntermediatesAndSaysSo) {
    for (const bool avchd : {false, true}) {
        SCOPED_TRACE(avchd ? "AVCHD" : "M2TS");
        TsMux t;
        t.Prepare(0, 0);
        (avchd ? t.form.chkAVCHD : t.form.chkVob).SetValue(1);
        t.work.Write("movie.h264", "x");
        Conversion conv = t.MakeConversion();
        conv.tsmuxer = t.ctx.ToolPath(tool::kTsMuxer);
        avchd ? RunAvchdChain(t.ctx, conv) : RunM2tsChain(t.ctx, conv);
        const std::string result = t.W(avchd ? "Film.2008" : "Film.2008.mpg");
        ASSERT_EQ(t.host.messages.size(), 1u);
        EXPECT_EQ(t.host.messages[0].text, "Error: " + result + " was not created.");
        EXPECT_EQ(t.host.messages[0].title, "info");
        EXPECT_TRUE(t.ctx.finishedOutput.empty());
        EXPECT_NE(t.form.txtProgress.text(), "Conversion done");
        // The meta file stays for inspection, with its lines ended by CR LF.
        const auto lines = avchd ? AvchdMetaLines(t.ctx, conv) : M2tsMetaLines(t.ctx, conv);
        std::string expected;
        for (const auto& line : lines) expected += line + "\r\n";
        EXPECT_EQ(ReadWholeFile(t.W("movie.meta")), expected);
    }
}

TEST_F(TsMux, AvchdChainChecksTheStructure) {
    Prepare(1, 0);  // DTS: nothing to convert
    form.chkAVCHD.SetValue(1);
    RecorderWritesStructure();
    work.Write("movie.h264", "x");
    Conversion conv = MakeConversion();
    conv.tsmuxer = ctx.ToolPath(tool::kTsMuxer);
    RunAvchdChain(ctx, conv);
    EXPECT_EQ(Commands(), (std::vector<std::string>{T(tool::kH264Info), TsMuxer("Film.2008")}));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.txtProgress.text(), "Conversion done");
    EXPECT_EQ(ctx.finishedOutput, W("Film.2008"));
    EXPECT_FALSE(Exists("movie.h264") || Exists("movie.meta"));
}

// The transport-stream chains run their audio conversion beside another step and still show
// their texts in the chain's order: AVCHD beside the extraction, M2TS beside the level patch.
TEST_F(TsMux, AudioBesideAnotherStepIsShownInTheChainsOrder) {
    struct Case {
        const char* name;
        int audioFormat;
        bool avchd;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"AVCHD, MP3 becomes AC-3",
         3,
         true,
         {"Extracting video/audio stream", "Creating AVCHD", "0 Bytes WAV written",
          "Conversion done"}},
        {"M2TS, DTS becomes AC-3",
         1,
         false,
         {"Extracting video/audio stream", "Adjusting Header", "Converting Audio", "Muxing M2TS",
          "Conversion done"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TsMux t;
        t.Prepare(c.audioFormat, 0);
        (c.avchd ? t.form.chkAVCHD : t.form.chkVob).SetValue(1);
        std::vector<std::string> shown;
        t.form.txtProgress.onChange = [&](const Control& ctl) { shown.push_back(ctl.text()); };
        t.prog.Rules()
            .Write("mkvextract", "cut:1:", 2048)
            .Write("mkvextract", "cut:2:", 512)
            .Write("valdec", "after:-wav", 1024)
            .Write("aften", "arg:-1", 256);
        if (c.avchd)
            t.RecorderWritesStructure();
        else
            t.prog.Rules().Write("tsmuxer", "arg:-1", 6144);
        ConvertMkv(t.ctx);
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(t.host.messages.empty());
        EXPECT_EQ(t.ctx.finishedOutput, t.W(c.avchd ? "Film.2008" : "Film.2008.mpg"));
        ASSERT_FALSE(t.Commands().empty());
        EXPECT_NE(t.Commands().back().find("tsmuxer"), std::string::npos);
    }
}

// A result of an earlier run would pass for this run's (".mpg") or be written into (the folder).
TEST_F(TsMux, EarlierResultIsRefusedBeforeAnyWork) {
    struct Case {
        const char* name;
        std::string result;  // in the work folder
        std::function<void(TsMux&)> choose;
    };
    const std::vector<Case> cases = {
        {"AVCHD", "Film.2008/", [](TsMux& t) { t.form.chkAVCHD.SetValue(1); }},
        {"M2TS", "Film.2008.mpg", [](TsMux& t) { t.form.chkVob.SetValue(1); }},
        {"MPEG-2 re-encode", "Film.2008.mpg",
         [](TsMux& t) {
             t.form.chkMP2.SetValue(1);
             t.form.cmdConv.SetSelectedIndex(0);
         }},
        {"Xvid re-encode", "Film.2008.avi",
         [](TsMux& t) {
             t.form.chkMP2.SetValue(1);
             t.form.cmdConv.SetSelectedIndex(2);
         }},
        {"VOB repack of MPEG-2 video", "Film.2008.mpg",
         [](TsMux& t) { t.ctx.analysis.strVideoCodec = "mpeg2"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TsMux t;
        t.Prepare(0, 0);
        c.choose(t);
        if (c.result.back() == '/')
            std::filesystem::create_directory(t.W(c.result));
        else
            t.work.Write(c.result, "an earlier result");
        ConvertMkv(t.ctx);
        EXPECT_TRUE(t.Commands().empty());
        ASSERT_EQ(t.host.messages.size(), 1u);
        const std::string shown =
            c.result.back() == '/' ? c.result.substr(0, c.result.size() - 1) : c.result;
        EXPECT_NE(t.host.messages[0].text.find(t.W(shown)), std::string::npos);
        if (c.result.back() != '/') {
            EXPECT_EQ(ReadWholeFile(t.W(c.result)), "an earlier result");
        }
    }
}

class WmvChain : public TsMux {
protected:
    // A real WMV (WMV2 video, WMA2 audio): the audio decoder reads it for real.
    std::string MakeWmv(const std::string& name) {
        const std::string path =
            SampleAt({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-f", "lavfi",
                      "-i", "sine=frequency=440:duration=1", "-c:v", "wmv2", "-c:a", "wmav2"},
                     media / name);
        form.strFullname = path;
        return path;
    }
};

TEST_F(WmvChain, StepsInOrderThenTheStructure) {
    const std::string wmv = MakeWmv("clip.wmv");
    prog.Install(tool::kAsf2Vc1);
    prog.Rules().Write("asf2vc1", "arg:-1", 1000).Write("aften", "arg:-1", 1000);
    const std::string root = W("clip") + "/BDMV/";
    prog.Rules().MakeFolder("tsmuxer", W("clip")).MakeFolder("tsmuxer", W("clip/BDMV"));
    prog.Rules()
        .MakeFolder("tsmuxer", root + "STREAM")
        .Write("tsmuxer", root + "STREAM/00000.m2ts", 6144);
    work.Write("movie.meta", "left by an MKV conversion\r\n");
    work.Write("movie.wma", "not on the list");
    ConvertWmv(ctx);
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{
                  T(tool::kAsf2Vc1) + " " + Q(wmv) + " " + Q(W("movie.vc1")),
                  T(tool::kAften) + " " + Q(W("movie.wav")) + " -b 640 " + Q(W("movie.ac3")),
                  T(tool::kTsMuxer) + " " + Q(W("movie.meta")) + " " + Q(W("clip"))}));
    EXPECT_EQ(WmvMetaLines(ctx),
              (std::vector<std::string>{
                  "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 "
                  "--split-size=4GB --vbv-len=500",
                  "V_MS/VFW/WVC1, " + Q(W("movie.vc1")) + ", fps=23.976",
                  "A_AC3, " + Q(W("movie.ac3"))}));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.txtProgress.text(), "Conversion done.");
    EXPECT_EQ(ctx.finishedOutput, W("clip"));
    for (const char* gone : {"movie.vc1", "movie.wav", "movie.ac3", "movie.meta"})
        EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_TRUE(Exists("movie.wma"));
}

TEST_F(WmvChain, AFailedStepStopsTheChain) {
    MakeWmv("clip.wmv");
    prog.Install(tool::kAsf2Vc1);  // writes nothing, as for a video that is not VC-1
    ConvertWmv(ctx);
    EXPECT_EQ(Commands().size(), 1u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Error: " + W("movie.vc1") + " was not created.");
    EXPECT_TRUE(ctx.finishedOutput.empty());
    EXPECT_FALSE(Exists("movie.wav"));
}

}  // namespace
}  // namespace kestrun::test
