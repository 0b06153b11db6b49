// kestrun-cli check on generated samples: each breaks one console rule (or none) and must get the
// verdict of that rule's cheapest fix, for the console and the output it would be converted to.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "analysis/h264_checker_report.h"
#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

using Json = nlohmann::json;

// `frames` frames of a test pattern with a second of tone, encoded with the given options.
std::string Sample(const std::string& size, int frames, const std::vector<std::string>& codecs,
                   const std::string& extension) {
    std::vector<std::string> args = {"-f",        "lavfi",
                                     "-i",        "testsrc2=size=" + size + ":rate=24",
                                     "-f",        "lavfi",
                                     "-i",        "sine=sample_rate=48000:duration=1",
                                     "-frames:v", std::to_string(frames)};
    args.insert(args.end(), codecs.begin(), codecs.end());
    return FfmpegSample(args, extension);
}

std::vector<std::string> H264(const std::string& x264Params) {
    return {"-c:v", "libx264", "-preset", "ultrafast", "-x264-params", x264Params};
}

std::vector<std::string> With(std::vector<std::string> video, std::vector<std::string> audio) {
    video.insert(video.end(), audio.begin(), audio.end());
    return video;
}

const std::vector<std::string> kAc3 = {"-c:a", "ac3", "-ac", "6"};
const std::vector<std::string> kDts = {"-c:a", "dca", "-strict", "-2", "-ac", "6"};
const std::vector<std::string> kAac6 = {"-c:a", "aac", "-ac", "6"};
const std::vector<std::string> kMp3 = {"-c:a", "libmp3lame", "-ac", "2"};
const std::vector<std::string> kXvid = {"-c:v", "libxvid", "-vtag", "XVID"};

Json Check(const std::string& platform, const std::string& file) {
    const ProgramRun run =
        RunProgram({BuiltTool("kestrun-cli"), "check", "--json", "--platform", platform, file});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.exitCode == 0 ? Json::parse(run.out) : Json::array({Json::object()});
}

// The route to `target` ("as is", "MP4", "AVCHD") of the file's only console.
Json RouteTo(const Json& report, const std::string& target) {
    for (const Json& route : report.at(0).at("consoles").at(0).at("routes"))
        if (route.at("target") == target) return route;
    ADD_FAILURE() << "no route to " << target << " in " << report.dump(1);
    return Json{{"verdict", ""}, {"rules", Json::array()}, {"convert", ""}};
}

std::string Measured(const Json& route, const std::string& rule) {
    for (const Json& r : route.at("rules"))
        if (r.at("rule") == rule)
            return r.at("status").get<std::string>() + ": " + r.at("measured").get<std::string>();
    return "<no rule " + rule + ">";
}

struct Case {
    const char* name;
    std::function<std::string()> sample;
    const char* platform;
    const char* target;
    const char* verdict;
};

TEST(ConsoleRulesTest, EachSampleGetsTheVerdictOfItsCheapestFix) {
    const auto level51 = [] {
        return Sample("1280x720", 2, With(H264("level=5.1:ref=4"), kAc3), "mkv");
    };
    const auto refs16 = [] {
        return Sample("1920x1080", 2, With(H264("level=5.1:ref=16"), kAc3), "mkv");
    };
    const auto dts = [] { return Sample("320x240", 2, With(H264("level=4.1"), kDts), "mkv"); };
    const auto aac6 = [] { return Sample("320x240", 2, With(H264("level=3.0"), kAac6), "mp4"); };
    const auto gmc = [] {
        return Sample("320x240", 4, With(With(kXvid, {"-gmc", "1"}), kMp3), "avi");
    };
    const auto xvid = [] { return Sample("320x240", 4, With(kXvid, kMp3), "avi"); };
    const auto asp = [] { return Sample("320x240", 4, With({"-c:v", "mpeg4"}, kAc3), "mkv"); };
    const auto asp1080 = [] {
        return Sample("1920x1080", 2, With({"-c:v", "mpeg4"}, kAac6), "mkv");
    };
    const auto noVideo = [] { return Sample("320x240", 2, With({"-vn"}, kAc3), "mkv"); };
    const Case cases[] = {
        {"level 5.1, 4 refs, 720p", level51, "ps3", "MP4", "needs the level byte"},
        {"level 5.1, 4 refs, 720p", level51, "xbox360", "MP4", "needs audio conversion"},
        {"16 refs at 1080p", refs16, "ps3", "MP4", "needs a video re-encode"},
        {"16 refs at 1080p", refs16, "xbox360", "MP4", "needs a video re-encode"},
        {"DTS", dts, "ps3", "MP4", "needs audio conversion"},
        {"DTS", dts, "ps3", "AVCHD", "needs a remux"},
        {"6-channel AAC in MP4", aac6, "ps3", "as is", "plays as is"},
        {"6-channel AAC in MP4", aac6, "xbox360", "as is", "needs audio conversion"},
        {"GMC Xvid", gmc, "ps3", "as is", "needs a video re-encode"},
        {"plain Xvid", xvid, "ps3", "as is", "plays as is"},
        {"MPEG-4 Part 2 in MKV", asp, "ps3", "MP4", "needs a remux"},
        {"MPEG-4 Part 2 in MKV", asp, "ps3", "AVCHD", "needs a video re-encode"},
        {"1080p MPEG-4 Part 2", asp1080, "xbox360", "MP4", "needs a video re-encode"},
        {"no video", noVideo, "ps3", "MP4", "no conversion makes it play"},
        {"no video", noVideo, "xbox360", "MP4", "no conversion makes it play"},
    };
    for (const Case& c : cases) {
        const Json route = RouteTo(Check(c.platform, c.sample()), c.target);
        EXPECT_EQ(route.at("verdict"), c.verdict)
            << c.name << " on " << c.platform << " as " << c.target << ": " << route.dump(1);
    }
}

TEST(ConsoleRulesTest, TheBufferDecidesAndIsShownWithItsArithmetic) {
    const Json big = RouteTo(
        Check("ps3", Sample("1920x1080", 2, With(H264("level=5.1:ref=16"), kAc3), "mkv")), "MP4");
    EXPECT_EQ(Measured(big, "H.264 DPB"), "fail: DPB 16 frames x 3060 KiB = 48960 KiB > 12288 KiB");
    EXPECT_NE(big.at("convert").get<std::string>().find("--recode h264"), std::string::npos);
    const Json small = RouteTo(
        Check("ps3", Sample("1280x720", 2, With(H264("level=5.1:ref=4"), kAc3), "mkv")), "MP4");
    EXPECT_EQ(Measured(small, "H.264 level"), "fail: 5.1 > 4.1");
    EXPECT_EQ(Measured(small, "H.264 DPB"),
              "pass: DPB 4 frames x 1350 KiB = 5400 KiB <= 12288 KiB");
}

TEST(ConsoleRulesTest, AFileOverFourGibibytesNeedsASplitAndTheConvertCommandSaysHow) {
    TempFolder folder{"kestrun-check"};
    const std::string film = folder / "Film.mkv";
    std::filesystem::copy_file(Sample("320x240", 2, With(H264("level=4.1"), kAc3), "mkv"), film);
    std::filesystem::resize_file(film, (5ULL << 30));  // sparse: nothing is written
    const Json route = RouteTo(Check("ps3", film), "MP4");
    EXPECT_EQ(route.at("verdict"), "needs a split");
    EXPECT_EQ(route.at("convert"), "kestrun-cli convert --platform ps3 " + film);
}

// No convert command is offered where none works: a WMV that is not VC-1 (the WMV chain copies
// VC-1 only) and a file without video.
TEST(ConsoleRulesTest, NoCommandIsOfferedThatCannotWork) {
    const std::string wmv2 = Sample("320x240", 2, {"-c:v", "wmv2", "-c:a", "wmav2"}, "wmv");
    const std::string noVideo = Sample("320x240", 2, With({"-vn"}, kAc3), "mkv");
    for (const std::string& file : {wmv2, noVideo})
        for (const Json& route : Check("ps3", file).at(0).at("consoles").at(0).at("routes"))
            EXPECT_EQ(route.at("convert"), "") << file << ": " << route.dump(1);
}

TEST(ConsoleRulesTest, AnUnreadableFileIsNamedWithItsReasonAndTheOthersAreStillChecked) {
    TempFolder folder{"kestrun-check"};
    const std::string text = folder.Write("notes.mkv", "not a film");
    const std::string good = Sample("320x240", 2, With(H264("level=4.1"), kAc3), "mkv");
    const ProgramRun run =
        RunProgram({BuiltTool("kestrun-cli"), "check", folder / "missing.mkv", text, good});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("missing.mkv: cannot read it"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("notes.mkv: not a media file"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("PS3, as MP4: needs a remux"), std::string::npos) << run.out;
    EXPECT_EQ(RunProgram({BuiltTool("kestrun-cli"), "check", "--platform", "wii", good}).exitCode,
              2);
}

}  // namespace
}  // namespace kestrun::test

namespace kestrun::test {
namespace {

TEST(CheckerReportTest, TheSetWithTheLargestBufferDecidesAndAMissingFieldFallsBackToTheRefs) {
    const std::string report =
        "sequence parameter set 0:\n"
        "profile: High (100)\nlevel: 4.1 (41)\n"
        "frame size: 1920x1080 (coded 1920x1088, 8160 macroblocks)\n"
        "reference frames: 4\nmax_dec_frame_buffering: 2\n"
        "sequence parameter set 1:\n"
        "profile: Main (77)\nlevel: 5.1 (51)\n"
        "frame size: 1280x720 (coded 1280x720, 3600 macroblocks)\n"
        "reference frames: 9\nmax_dec_frame_buffering: not given\n"
        "dpb check: [OK]\n";
    const auto facts = ParseCheckerReport(report);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->profileName, "Main");
    EXPECT_EQ(facts->levelIdc, 51);
    EXPECT_EQ(facts->macroblocks, 3600);
    EXPECT_EQ(facts->dpbFrames, 9);
    EXPECT_FALSE(ParseCheckerReport("x264_checker: the video of a.mkv is not H.264 but vc1\n"));
}

}  // namespace
}  // namespace kestrun::test
