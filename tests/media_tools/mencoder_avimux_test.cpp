// The Mencoder and avimux_gui stand-ins: the legacy option strings and how they are rewritten,
// the engine choice, the muxing script language, and the AVI cut into pieces.
#include <gtest/gtest.h>

#include <filesystem>

#include "avimux/mux_script.h"
#include "media_test_support.h"
#include "mencoder/engines.h"
#include "support/temp_folder.h"

namespace {

using namespace standin;

const char* const kLegacyX264 =
    "bitrate=1500:threads=auto:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:"
    "partitions=p8x8,b8x8:me=hex:me_range=16:subq=5:chroma_me:mixed_refs:bime:trellis=1:"
    "weight_b:b_pyramid:nr=0";

TEST(MencoderOptions, LegacyStringsAreRewrittenForTodaysEncoders) {
    EXPECT_EQ(JoinOptionList(ModernX264Options(ParseOptionList(kLegacyX264), 900)),
              "bitrate=900:threads=auto:frameref=2:bframes=2:deblock=0,0:level=41:"
              "direct_pred=auto:partitions=p8x8,b8x8:me=hex:me_range=16:subq=5:chroma_me=1:"
              "mixed_refs=1:trellis=1:weight_b=1:b_pyramid=normal:nr=0");
    const std::string lavc = JoinOptionList(
        MencoderLavcOptions(ParseOptionList("threads=auto:vcodec=mpeg2video:lmin=1:mv0")));
    EXPECT_EQ(lavc.substr(lavc.find(':')), ":vcodec=mpeg2video:o=lmin=118:o=mpv_flags=+mv0");
    EXPECT_EQ(lavc.find("threads=auto"), std::string::npos);
    // An lmin that is no quantiser goes to the encoder as written, for it to name.
    for (const char* bad : {"lmin=x", "lmin=", "lmin=1e300", "lmin=-2"})
        EXPECT_EQ(JoinOptionList(MencoderLavcOptions(ParseOptionList(bad))), bad) << bad;
    // 4 GiB over 100 s, less 640 kbit/s for the separate sound.
    EXPECT_EQ(RateForTargetSize(4194304, 100, 640, 300, 500000), 343597 - 640);
    EXPECT_EQ(RateForTargetSize(4194304, 1, 640, 300, 50000), 50000);
}

TEST(MencoderOptions, SizesAndFrameRates) {
    EXPECT_EQ(ParseEndposSize("10mb"), 10485760);
    EXPECT_EQ(ParseEndposSize("3kb"), 3072);
    EXPECT_EQ(ParseEndposSize("10"), std::nullopt);
    const Fraction film = NormalisedFrameRate(*ParseFrameRate("31001/1293"));
    EXPECT_EQ(film.num * 1001, film.den * 24000);
    const Fraction ntsc = NormalisedFrameRate(*ParseFrameRate("30000/1001"));
    EXPECT_EQ(ntsc.num * 1001, ntsc.den * 30000);
    EXPECT_EQ(NormalisedFrameRate(25).num, 25);
    // Numbers past any size or rate are refused, not wrapped.
    EXPECT_EQ(ParseEndposSize("99999999999gb"), std::nullopt);
    EXPECT_EQ(ParseFrameRate("2e78"), std::nullopt);
    EXPECT_EQ(ParseFrameRate("1e300/1e-300"), std::nullopt);
}

MencoderCall Parse(const std::string& line) {
    std::vector<std::string> args;
    for (size_t at = 0; at < line.size();) {
        const size_t end = line.find(' ', at);
        if (end != at) args.push_back(line.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return ParseMencoderArgs(args);
}

TEST(MencoderCommandLines, EveryChainFormIsAcceptedAndGetsItsEngine) {
    struct Case {
        std::string line;
        Engine engine;
    };
    const Case cases[] = {
        {"-endpos 10mb -ovc copy -oac copy /s.avi -o /w/test.avi", Engine::Mencoder},
        {"-nosound -noskip -mc 0 -of rawvideo -o /w/movie.h264 -ovc x264 -x264encopts "
         "bitrate=-4194304:level=41 -ofps 31001/1293 -vf harddup,expand=1920:1080 /s.mkv -mc 0 "
         "-noskip",
         Engine::Mencoder},
        {"-oac copy -font /p/font.ttf -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 "
         "-subfont-text-scale 5 -nosound -noskip -mc 0 -of rawvideo -o /w/movie.h264 -ovc x264 "
         "-x264encopts bitrate=800 -ofps 25 -vf  harddup /s.mkv -mc 0 -noskip -ass -sub /w/m.ASS",
         Engine::Ffmpeg},
        {"-nosound -o /w/movie.mpg -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:mv0 "
         "-ofps 25 -vf harddup /s.mkv -mc 0 -noskip",
         Engine::Mencoder},
        {"/w/movie.mpg -audiofile /w/movie.ac3 -oac copy -ovc copy -of mpeg -o /w/F.mpg",
         Engine::Ffmpeg},
        {"-of avi -o /w/movie.avi -ovc xvid -xvidencopts bitrate=900:nogmc -ofps 25 -vf "
         "harddup,scale=1280:533.333333333333 -nosound /s.mkv -mc 0 -noskip",
         Engine::Mencoder},
        {"-oac mp3lame -lameopts br=192 -mc 0 -of avi -o /w/KR_c.avi -ovc copy -vf harddup /s.avi "
         "-mc 0 -noskip",
         Engine::Mencoder},
        {"-oac copy -mc 0 -of avi -o /w/KR_c.avi -ovc xvid -xvidencopts bitrate=-716800:noqpel "
         "-vf harddup /s.avi -noskip",
         Engine::Ffmpeg},
        // Frames repeated or dropped to reach the rate.
        {"-nosound -mc 0 -of rawvideo -o /w/movie.h264 -ovc x264 -ofps 50 -vf harddup /s.mkv",
         Engine::Ffmpeg},
    };
    for (const auto& c : cases) {
        const MencoderCall call = Parse(c.line);
        EXPECT_EQ(call.error, "") << c.line;
        EXPECT_EQ(EngineFor(call), c.engine) << c.line;
    }
    EXPECT_EQ(Parse("-ovc x264 -o /o /s.mkv -vf crop=1:1").error,
              "video filter not supported: crop=1:1");
    EXPECT_EQ(Parse("-ovc x264 -o /o /s.mkv -frob").error, "option -frob needs a value");
    EXPECT_EQ(Parse("-ovc x264 /s.mkv").error, "no output file given (-o)");
}

TEST(MencoderCommandLines, FilterChainForFfmpeg) {
    MediaFacts facts;
    facts.width = 1920;
    facts.height = 800;
    const MencoderCall expand = Parse("-ovc x264 -o /o /s.mkv -vf harddup,expand=1920:1080");
    EXPECT_EQ(FfmpegFilterChain(expand, facts, {}),
              "pad=w='max(iw,1920)':h='max(ih,1080)':x=(ow-iw)/2:y=(oh-ih)/2");
    const MencoderCall scale = Parse(
        "-ovc xvid -o /o /s.mkv -ofps 30000/1001 -vf harddup,scale=1280:533.333333333333 -noskip");
    EXPECT_EQ(FfmpegFilterChain(scale, facts, {}), "setpts=N*1001/30000/TB,scale=1280:532");
    // Without -noskip frames are repeated or dropped to reach the rate.
    EXPECT_EQ(FfmpegFilterChain(Parse("-ovc x264 -o /o /s.mkv -ofps 50 -mc 0"), facts, {}),
              "fps=50/1");
}

TEST(MencoderCommandLines, PictureSubtitlesAreKnownByOptionAndExtension) {
    struct Case {
        std::string piece;
        SubtitleKind kind;
        std::string file;
    };
    const Case cases[] = {
        {"-sub /w/movie.sup", SubtitleKind::Pgs, "/w/movie.sup"},
        {"-sub /w/MOVIE.Sup", SubtitleKind::Pgs, "/w/MOVIE.Sup"},
        {"-vobsub /w/movie", SubtitleKind::VobSub, "/w/movie.idx"},
        {"-ass -sub /w/movie.ass", SubtitleKind::Text, "/w/movie.ass"},
        {"-sub /w/movie.sub", SubtitleKind::Text, "/w/movie.sub"},
        {"-sub /w.sup/movie", SubtitleKind::Text, "/w.sup/movie"},
    };
    // The three re-encode forms with the text case's options before the piece.
    const char* const forms[] = {
        "-oac copy -font /p/font.ttf -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 "
        "-subfont-text-scale 5 -nosound -noskip -mc 0 -of rawvideo -o /w/movie.h264 -ovc x264 "
        "-x264encopts bitrate=800 -ofps 25 -vf  harddup,expand=1920:1080 /s.mkv -mc 0 -noskip ",
        "-nosound  -font /p/font.ttf -utf8 -subpos 90 -o /w/movie.mpg -of mpeg -ovc lavc "
        "-lavcopts threads=4:vcodec=mpeg2video:mv0 -ofps 25 -vf harddup /s.mkv -mc 0 -noskip ",
        " -font /p/font.ttf -utf8 -subpos 90 -of avi -o /w/movie.avi -ovc xvid -xvidencopts "
        "bitrate=900:nogmc -ofps 25 -vf harddup,scale=1280:720 -nosound /s.mkv  -noskip ",
    };
    for (const char* form : forms)
        for (const Case& c : cases) {
            const MencoderCall call = Parse(form + c.piece);
            ASSERT_EQ(call.error, "") << c.piece;
            ASSERT_TRUE(call.subtitles) << c.piece;
            EXPECT_EQ(call.subtitles->kind, c.kind) << c.piece;
            EXPECT_EQ(call.subtitles->file, c.file) << c.piece;
            EXPECT_EQ(EngineFor(call), Engine::Ffmpeg) << c.piece;
        }
    EXPECT_EQ(VobSubPicturesFile("/w/movie.idx"), "/w/movie.sub");
    EXPECT_EQ(Parse("-ovc x264 -o /o /s.mkv -vobsub").error, "option -vobsub needs a value");
    EXPECT_EQ(ParseMencoderArgs({"-ovc", "x264", "-o", "/o", "/s.mkv", "-vobsub", ""}).error,
              "-vobsub takes the name NAME of NAME.idx and NAME.sub");
    EXPECT_EQ(Parse("-ovc x264 -o /o /s.mkv -vobsub /w/a -sub /w/b.srt").error,
              "-sub and -vobsub both given: one subtitle source at a time (/w/b.srt, /w/a)");
}

TEST(MencoderCommandLines, PictureSubtitleCanvasLandsOnTheFilm) {
    struct Case {
        int width, height;     // the film
        std::string filters;   // -vf
        int canvasW, canvasH;  // the subtitles' canvas, 0: not given
        CanvasPlacement expected;
    };
    const Case cases[] = {
        {1920, 1080, "harddup", 1920, 1080, {0, 0, 1920, 1080}},
        // A film cut out of the disc's frame, put back into a frame of that size: the canvas
        // matches the frame again.
        {1920, 800, "harddup,expand=1920:1080", 1920, 1080, {0, 0, 1920, 1080}},
        // Kept at its size, the cut film takes the canvas squeezed into it.
        {1920, 800, "harddup", 1920, 1080, {0, 0, 1920, 800}},
        {1920, 800, "harddup,scale=1280:533.333", 1920, 1080, {0, 0, 1280, 532}},
        // Bars added around a whole frame: the canvas stays on the film.
        {640, 360, "harddup,expand=640:480", 640, 360, {0, 60, 640, 360}},
        {640, 360, "harddup,expand=640:480", 0, 0, {0, 60, 640, 360}},
        // A DVD's canvas follows the film through a change of shape, and a film made smaller
        // than its disc takes the canvas made smaller alike.
        {720, 480, "harddup,scale=1280:720", 720, 480, {0, 0, 1280, 720}},
        {1280, 720, "harddup", 1920, 1080, {0, 0, 1280, 720}},
        {1280, 536, "harddup,expand=1280:720,scale=854:480", 1920, 1080, {0, 0, 854, 480}},
    };
    for (const Case& c : cases) {
        MediaFacts facts;
        facts.width = c.width;
        facts.height = c.height;
        const auto at = PlaceSubtitleCanvas(Parse("-ovc x264 -o /o /s.mkv -vf " + c.filters), facts,
                                            c.canvasW, c.canvasH);
        EXPECT_EQ(
            std::vector<long>({at.x, at.y, at.width, at.height}),
            std::vector<long>({c.expected.x, c.expected.y, c.expected.width, c.expected.height}))
            << c.width << "x" << c.height << " " << c.filters;
    }
}

TEST(MencoderCommandLines, PictureSubtitlesGoInAsASecondInputOnTheFilmsTimeline) {
    MediaFacts facts;
    facts.width = 1920;
    facts.height = 800;
    SubtitleFiles files;
    files.subtitle = "/tmp/s/subtitle.sup";
    files.canvasWidth = 1920;
    files.canvasHeight = 1080;
    files.pictureOffsetUs = -1250000;
    const MencoderCall call = Parse(
        "-ovc x264 -x264encopts bitrate=800 -o /o /s.mkv -ofps 24000/1001 -noskip -vf "
        "harddup,expand=1920:1080 -sub /w/movie.sup -font /f.ttf -utf8 -nosound");
    auto joined = [&] {
        std::string text;
        for (const auto& a : FfmpegArgs(call, facts, files, "/o.tmp")) text += a + "|";
        return text;
    };
    const std::string line = joined();
    EXPECT_NE(line.find("|-i|/s.mkv|-itsoffset|-1.250000|-i|/tmp/s/subtitle.sup|-filter_complex|"
                        "[0:v:0]pad=w='max(iw,1920)':h='max(ih,1080)':x=(ow-iw)/2:y=(oh-ih)/2"
                        "[picture];[1:s:0]scale=1920:1080[subtitles];[picture][subtitles]"
                        "overlay=0:0,setpts=N*1001/24000/TB[video]|-map|[video]|"),
              std::string::npos)
        << line;
    EXPECT_EQ(line.find("-vf"), std::string::npos) << line;
    EXPECT_EQ(line.find("subtitles=filename"), std::string::npos) << line;
    // Both files start together: nothing to move.
    files.pictureOffsetUs = 0;
    EXPECT_NE(joined().find("|-i|/s.mkv|-i|/tmp/s/subtitle.sup|"), std::string::npos);
}

TEST(MuxScript, WithBlocksSizesAndErrors) {
    const ScriptResult ok = InterpretMuxScript(
        "CLEAR\r\nLOAD /w/movie.avi\r\nLOAD movie.ac3\r\nSELECT FILE 0\r\nADD VIDEOSOURCE\r\n"
        "SET OUTPUT OPTIONS\r\nWITH SET OPTION\r\nMAXFILESIZE OFF\r\nMAXFILESIZE 4000\r\n"
        "DONEDLG 0\r\nEND WITH\r\nSTART /w/F.avi\r\n",
        "/script");
    ASSERT_EQ(ok.error, "");
    ASSERT_EQ(ok.jobs.size(), 1u);
    EXPECT_EQ(ok.jobs[0].files, (std::vector<std::string>{"/w/movie.avi", "/script/movie.ac3"}));
    EXPECT_EQ(ok.jobs[0].maxFileMiB, 4000);
    EXPECT_EQ(ok.jobs[0].output, "/w/F.avi");
    EXPECT_EQ(InterpretMuxScript("WITH SET OPTION\nMAXFILESIZE OFF\nEND WITH\nSTART /o.avi", "/")
                  .jobs[0]
                  .maxFileMiB,
              std::nullopt);
    EXPECT_EQ(InterpretMuxScript("LOAD /a\nFROB\nSTART /o.avi", "/").error,
              "line 2: not understood: FROB");
    EXPECT_EQ(InterpretMuxScript("LOAD /a\n", "/").error, "the script has no START line");
    // WITH inside WITH doubles the line at each level: refused once too long, not followed.
    std::string nested;
    for (int i = 0; i < 60; ++i) nested += "WITH WITH\n";
    EXPECT_EQ(InterpretMuxScript(nested, "/").error, "line 15: the line is too long");
}

TEST(AvimuxTool, WritesTheAviAndCutsItIntoPiecesOfTheGivenSize) {
    kestrun::test::TempFolder folder("kestrun-avimux");
    // Noise keeps the picture from compressing: about 5 MB, a key frame every 0.2 s.
    const std::string video = kestrun::test::FfmpegSample(
        {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25,noise=alls=80:allf=t", "-t", "3",
         "-c:v", "libxvid", "-q:v", "2", "-g", "5", "-an"},
        "avi");
    const std::string audio = folder / "movie.ac3";
    std::filesystem::copy_file(kestrun::test::ToneSample("ac3"), audio);
    const std::string avimux = media_test::BuiltTool("avimux/avimux_gui");
    const std::string script = folder / "job.amg";
    for (const char* size : {"OFF", "1"}) {
        media_test::WriteText(script, "LOAD " + video + "\r\nLOAD movie.ac3\r\nSET OPTION " +
                                          "MAXFILESIZE " + size + "\r\nSTART F.avi\r\n");
        ASSERT_EQ(media_test::RunProgram({avimux, script}).exitCode, 0);
    }
    // The whole AVI of the first run was replaced by the first piece of the second.
    int pieces = 0;
    for (const auto& name : media_test::FolderNames(folder.path())) {
        if (name.rfind("F", 0) != 0) continue;
        ++pieces;
        const std::string piece = folder / name;
        EXPECT_LE(media_test::FileSize(piece), (1 << 20) + 400000) << name;  // cut at a key frame
        EXPECT_EQ(media_test::StreamTypes(piece), (std::vector<std::string>{"video", "audio"}));
    }
    EXPECT_GE(pieces, 2);
    media_test::WriteText(script, "LOAD /missing.avi\r\nSTART G.avi\r\n");
    EXPECT_NE(media_test::RunProgram({avimux, script}).exitCode, 0);
    EXPECT_FALSE(media_test::FileExists(folder / "G.avi"));
}

}  // namespace
