// kestrun-cli convert through the re-encoding chains, on small generated sources, checked with
// ffprobe and the checker tools: MPEG-2, H.264 and Xvid re-encodes, burned-in subtitles, the VOB
// repack of MPEG-2 MKVs, the two AVI chains, and the piece loop of a split source.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "chains/split_source.h"
#include "e2e/e2e_support.h"
#include "model/context.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "platform/tool_table.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

constexpr double kDurationTolerance = 0.25;

class Recode : public ::testing::Test {
protected:
    Recode() {
        fs::create_directories(out);
        fs::create_directories(sources);
    }
    ProgramRun Convert(std::vector<std::string> options, const std::string& source) {
        std::vector<std::string> argv = {program.Cli(), "convert", "--out", out.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(source);
        return RunProgram(argv);
    }
    std::string Tool(std::string_view subPath) const {
        return program.path().string() + std::string(subPath);
    }
    // A short 320x240 MKV with AC-3 stereo; `video` are FFmpeg's video options.
    std::string Mkv(const std::string& name, std::vector<std::string> video) {
        const std::string path = (sources / name).string();
        std::vector<std::string> args = PictureInput("320x240");
        for (const auto& part :
             {ToneInput(2, 2), std::vector<std::string>{"-t", "2", "-map", "0:v", "-map", "1:a"},
              video, std::vector<std::string>{"-c:a", "ac3"}})
            args.insert(args.end(), part.begin(), part.end());
        return test::SampleAt(args, path);
    }
    // The video stream's packets, hashed: equal when the stream was copied unchanged.
    static std::string VideoDigest(const std::string& path) {
        return RunProgram({"ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-c", "copy", "-f",
                           "md5", "-"})
            .out;
    }

    test::TempFolder temp{"kestrun-e2e-recode"};
    ProgramFolderCopy program{temp.path()};
    fs::path sources = temp.path() / "sources";
    fs::path out = temp.path() / "out";
};

TEST_F(Recode, Mpeg2H264AndXvidReencodes) {
    const std::string source = Mkv("Film.mkv", H264Options());
    const double length = Probe(source).duration;
    struct Case {
        std::vector<std::string> options;
        std::string result, videoCodec, audioCodec;
    };
    const Case cases[] = {
        {{"--recode", "mpeg2"}, "Film.mpg", "mpeg2video", "ac3"},
        {{"--recode", "h264"}, "Film.mp4", "h264", "aac"},
        {{"--recode", "xvid"}, "Film.avi", "mpeg4", "ac3"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Convert(c.options, source);
        ASSERT_EQ(run.exitCode, 0) << c.result << run.err;
        const std::string result = (out / c.result).string();
        const MediaFacts facts = Probe(result);
        ASSERT_EQ(facts.OfType("video").size(), 1u) << c.result;
        ASSERT_EQ(facts.OfType("audio").size(), 1u) << c.result;
        EXPECT_EQ(facts.OfType("video")[0].codec, c.videoCodec);
        EXPECT_EQ(facts.OfType("audio")[0].codec, c.audioCodec);
        EXPECT_NEAR(facts.duration, length, kDurationTolerance) << c.result;
        fs::remove(result);
        EXPECT_TRUE(FolderNames(out).empty()) << c.result << ": intermediate files left";
    }
}

TEST_F(Recode, H264ReencodeOfA16ReferenceStreamPassesTheDpbCheck) {
    const std::string source =
        Mkv("Refs.mkv", {"-s", "1920x1080", "-c:v", "libx264", "-preset", "ultrafast",
                         "-x264-params", "ref=16:level=51", "-t", "0.5"});
    ASSERT_NE(RunProgram({Tool(tool::kX264Checker), source}).out.find("dpb check: [FAILED]"),
              std::string::npos);
    ASSERT_EQ(Convert({"--recode", "h264"}, source).exitCode, 0);
    const std::string mp4 = (out / "Refs.mp4").string();
    EXPECT_LE(Probe(mp4).OfType("video").at(0).level, 41);
    EXPECT_NE(RunProgram({Tool(tool::kX264Checker), mp4}).out.find("dpb check: [OK]"),
              std::string::npos);
}

TEST_F(Recode, XvidForTheXbox360IsAtMost1280WideWithoutQpelOrGmc) {
    const std::string source =
        Mkv("Wide.mkv", {"-s", "1600x400", "-c:v", "libx264", "-preset", "ultrafast", "-t", "1"});
    ASSERT_EQ(Convert({"--recode", "xvid", "--platform", "xbox360"}, source).exitCode, 0);
    const std::string avi = (out / "Wide.avi").string();
    EXPECT_EQ(RunProgram({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                          "stream=width,height", "-of", "csv=p=0", avi})
                  .out,
              "1280,320\n");
    const std::string report = RunProgram({Tool(tool::kMmcl), "--info", avi}).out;
    EXPECT_NE(report.find("QPel:              No"), std::string::npos) << report;
    EXPECT_NE(report.find("GMC:               No"), std::string::npos) << report;
}

// Mean absolute difference of the lower quarter of frame n of two videos (grey levels).
double LowerQuarterDifference(const std::string& a, const std::string& b, int n) {
    auto frame = [n](const std::string& path) {
        return RunProgram({"ffmpeg", "-v", "error", "-i", path, "-vf",
                           "select=eq(n\\," + std::to_string(n) + "),format=gray", "-frames:v", "1",
                           "-f", "rawvideo", "-"})
            .out;
    };
    const std::string x = frame(a), y = frame(b);
    if (x.size() != y.size() || x.empty()) return -1;
    double sum = 0;
    const size_t start = x.size() * 3 / 4;
    for (size_t i = start; i < x.size(); ++i)
        sum += std::abs(static_cast<unsigned char>(x[i]) - static_cast<unsigned char>(y[i]));
    return sum / static_cast<double>(x.size() - start);
}

TEST_F(Recode, SubtitleTrackIsBurnedInAtItsCueOnly) {
    const std::string plain = Mkv("Plain.mkv", H264Options());
    const std::string srt = temp.Write("cue.srt", "1\n00:00:00,500 --> 00:00:01,000\nHELLO\n\n");
    const std::string withSubs = (sources / "Subs.mkv").string();
    test::Mkvmerge({"-o", withSubs, plain, srt});
    ASSERT_EQ(Convert({"--recode", "h264", "--subs", "0"}, withSubs).exitCode, 0);
    ASSERT_EQ(Convert({"--recode", "h264"}, plain).exitCode, 0);
    const std::string a = (out / "Subs.mp4").string(), b = (out / "Plain.mp4").string();
    const double atCue = LowerQuarterDifference(a, b, 18);    // 0.75 s
    const double between = LowerQuarterDifference(a, b, 36);  // 1.5 s
    EXPECT_GT(atCue, 3 * between + 1) << atCue << " " << between;
}

TEST_F(Recode, Mpeg2MkvIsRepackedWithItsVideoUnchanged) {
    const std::string source = Mkv("Dvd.mkv", {"-c:v", "mpeg2video", "-b:v", "2M"});
    ASSERT_EQ(Convert({}, source).exitCode, 0);
    const std::string mpg = (out / "Dvd.mpg").string();
    EXPECT_EQ(VideoDigest(mpg), VideoDigest(source));
    EXPECT_EQ(Probe(mpg).OfType("audio").at(0).codec, "ac3");
}

TEST_F(Recode, AviWithQpelOrGmcIsReencodedAndAPlainOneGetsMp3) {
    struct Case {
        std::string name;
        std::vector<std::string> video;
        bool videoKept;
    };
    const Case cases[] = {
        {"Plain.avi", {}, true},
        {"Qpel.avi", {"-flags", "+qpel"}, false},
        {"Gmc.avi", {"-gmc", "1"}, false},
    };
    for (const auto& c : cases) {
        const std::string source = (sources / c.name).string();
        std::vector<std::string> args = PictureInput("320x240");
        for (const auto& part : {ToneInput(2, 2),
                                 std::vector<std::string>{"-t", "2", "-c:v", "libxvid", "-vtag",
                                                          "XVID", "-b:v", "600k"},
                                 c.video, std::vector<std::string>{"-c:a", "libmp3lame"}})
            args.insert(args.end(), part.begin(), part.end());
        test::SampleAt(args, source);
        ASSERT_EQ(Convert({}, source).exitCode, 0) << c.name;
        const std::string result = (out / ("KR_" + c.name)).string();
        const MediaFacts facts = Probe(result);
        EXPECT_EQ(facts.OfType("video").at(0).codec, "mpeg4");
        EXPECT_EQ(facts.OfType("audio").at(0).codec, "mp3");
        EXPECT_EQ(VideoDigest(result) == VideoDigest(source), c.videoKept) << c.name;
        // Every picture comes through, re-encoded or not.
        const auto frames = [](const std::string& path) {
            return test::ProbeFields(path, "v:0", "stream=nb_frames")["nb_frames"];
        };
        EXPECT_EQ(frames(result), frames(source)) << c.name;
        const std::string report = RunProgram({Tool(tool::kMmcl), "--info", result}).out;
        EXPECT_NE(report.find("QPel:              No"), std::string::npos) << c.name;
        EXPECT_NE(report.find("GMC:               No"), std::string::npos) << c.name;
    }
    EXPECT_FALSE(fs::exists(out / "test.avi"));
}

TEST_F(Recode, SplitSourceIsConvertedPieceByPiece) {
    // mkvmerge cuts at key frames: one every half second.
    std::vector<std::string> video = H264Options();
    video.insert(video.end(), {"-g", "12"});
    const std::string source = Mkv("Long.mkv", video);
    test::ScriptedHost host;
    Context ctx(host, program.path().string());
    ctx.form.txtTMP.SetText(out.string() + "/");
    ctx.form.txtFile.SetText(source);
    ctx.form.strFullname = source;
    ctx.form.strMKVmerge = Tool(tool::kMkvMerge);
    ctx.form.txtS1.SetText("1");
    ctx.form.txtS2.SetText("2");
    Conversion conv;
    conv.baseName = "Long";
    // Pieces of about a third of the source.
    ConvertInPieces(ctx, conv, static_cast<std::int64_t>(fs::file_size(source) / 3000));
    const auto names = FolderNames(out);
    ASSERT_GE(names.size(), 2u) << (names.empty() ? "" : names[0]) << " "
                                << (host.messages.empty() ? "" : host.messages[0].text);
    double total = 0;
    for (const auto& name : names) {
        EXPECT_EQ(fs::path(name).extension(), ".mp4") << name;
        total += Probe((out / name).string()).duration;
    }
    EXPECT_NEAR(total, Probe(source).duration, 0.5);
    EXPECT_FALSE(ctx.form.bSplit || ctx.form.lblMulti.visible);
}

}  // namespace
}  // namespace kestrun::e2e
