// The console rules on what a conversion wrote: a result that plays is reported as verified and
// exits 0; one that breaks a rule is reported on standard error and exits 3. Every kind of result
// is read back: MP4, M2TS and program stream ".mpg", AVCHD folder, AVI with its pieces.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/result_check.h"
#include "e2e/e2e_support.h"
#include "model/context.h"
#include "support/scripted_host.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

// Xvid video with MP3 sound in an AVI, made like the MKVs (320x240, 23.976 fps).
void MakeAvi(const std::string& path, double seconds) {
    std::vector<std::string> args = PictureInput("320x240");
    for (auto part :
         {ToneInput(2, seconds),
          std::vector<std::string>{"-t", std::to_string(seconds), "-map", "0:v", "-map", "1:a",
                                   "-c:v", "libxvid", "-vtag", "XVID", "-c:a", "libmp3lame"}})
        args.insert(args.end(), part.begin(), part.end());
    test::SampleAt(args, path);
}

// An MKV as mkvmerge writes it, with the frame counts in its statistics tags.
void MakeMkvmergedMkv(const std::string& path, const std::vector<std::string>& options) {
    const std::string made = path + ".made.mkv";
    MakeMkv(made, {"-c:a", "ac3", "-b:a", "384k"}, 6, options);
    test::Mkvmerge({"-o", path, made});
    fs::remove(made);
}

struct Case {
    const char* name;
    std::vector<std::string> sourceOptions;  // after the default H.264 High 5.1 and AC-3 5.1
    const char* platform;
    int exitCode;
    const char* verdict;                           // on standard error
    std::vector<std::string> convertOptions = {};  // --container, --recode
    const char* source = "Film.mkv";               // "Film.avi": Xvid and MP3
    const char* result = "Film.mp4";
    const char* logged = "";  // one rule line of the log
};

TEST(ResultVerification, TheVerdictOnTheResultDecidesTheExitCode) {
    const Case cases[] = {
        {"level 5.1 patched",
         {},
         "xbox360",
         0,
         "Conversion done and verified: plays on the Xbox 360",
         {},
         "Film.mkv",
         "Film.mp4",
         "pass video frames"},
        // The header stage rewrites level 5.1 only: a 5.2 stream keeps its level byte.
        {"level 5.2 kept",
         {"-level", "5.2"},
         "ps3",
         3,
         "Conversion done, but the result will not play: PS3: H.264 level 5.2 > 4.1"},
        {"M2TS stream",
         {},
         "ps3",
         0,
         "verified: plays on the PS3",
         {"--container", "m2ts"},
         "Film.mkv",
         "Film.mpg",
         "pass container M2TS"},
        {"AVCHD folder",
         {},
         "ps3",
         0,
         "verified: plays on the PS3",
         {"--container", "avchd"},
         "Film.mkv",
         "Film",
         "pass AVCHD playlist 00000.mpls: 00000.m2ts"},
        {"Xvid AVI",
         {},
         "xbox360",
         0,
         "verified: plays on the Xbox 360",
         {"--recode", "xvid"},
         "Film.mkv",
         "Film.avi",
         "pass MPEG-4 GMC not used"},
        {"VOB repack",
         {"-c:v", "mpeg2video"},
         "ps3",
         0,
         "verified: plays on the PS3",
         {},
         "Film.mkv",
         "Film.mpg",
         "pass container MPEG-PS"},
        {"VOB repack for the Xbox 360",
         {"-c:v", "mpeg2video"},
         "xbox360",
         3,
         "will not play: Xbox 360: container MPEG-PS; plays MP4, AVI, WMV",
         {},
         "Film.mkv",
         "Film.mpg"},
        // The video is copied and the sound made MP3: every frame stays.
        {"AVI sound re-encoded",
         {},
         "ps3",
         0,
         "verified: plays on the PS3",
         {},
         "Film.avi",
         "KR_Film.avi",
         "pass video frames"},
    };
    for (const Case& c : cases) {
        test::TempFolder temp("kestrun-e2e");
        const ProgramFolderCopy program(temp.path());
        const std::string source = temp / c.source;
        if (fs::path(source).extension() == ".avi")
            MakeAvi(source, 2);
        else
            MakeMkvmergedMkv(source, c.sourceOptions);
        std::vector<std::string> args = {program.Cli(),        "convert",    "--out",
                                         temp.path().string(), "--platform", c.platform};
        args.insert(args.end(), c.convertOptions.begin(), c.convertOptions.end());
        args.push_back(source);
        const ProgramRun run = RunProgram(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.verdict), std::string::npos) << c.name << "\n" << run.err;
        EXPECT_TRUE(fs::exists(temp / c.result)) << c.name;
        const std::string log = ReadWholeFile((program.path() / "debug.log").string());
        EXPECT_NE(log.find("Verification ("), std::string::npos) << c.name;
        EXPECT_NE(log.find(c.logged), std::string::npos) << c.name << "\n" << log;
    }
}

// A result spoiled after it was written, as an interrupted run or a lost file leaves it: the
// check a batch makes of a result already in the output folder finds it.
struct Spoiled {
    const char* name;
    std::function<void(const fs::path& result)> spoil;
    bool plays;
    const char* failure;  // in the verification line
};

class CheckedResult : public ::testing::Test {
protected:
    ResultCheck Check(const std::string& result, const std::string& source, Console console) {
        return CheckResultAt(ctx, result, source, 0, console);
    }
    std::string Line(const ResultCheck& check, Console console) {
        return check.readable ? VerificationLine(check.verification, console) : check.error;
    }

    test::TempFolder temp{"kestrun-e2e-spoiled"};
    ProgramFolderCopy program{temp.path()};
    test::ScriptedHost host;
    Context ctx{host, program.path().string()};
};

TEST_F(CheckedResult, AnAvchdFolderIsReadThroughItsPlaylist) {
    const std::string source = temp / "Film.mkv";
    MakeMkv(source, {"-c:a", "ac3", "-b:a", "384k"}, 6, {}, 4);
    const ProgramRun run = RunProgram(
        {program.Cli(), "convert", "--out", temp.path().string(), "--container", "avchd", source});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path made = temp.path() / "Film";
    const fs::path clip = fs::path("BDMV") / "STREAM" / "00000.m2ts";
    const Spoiled cases[] = {
        {"whole", [](const fs::path&) {}, true, ""},
        {"clip removed", [&](const fs::path& r) { fs::remove(r / clip); }, false,
         "AVCHD playlist 00000.mpls names 00000.m2ts, not in BDMV/STREAM"},
        {"playlist removed",
         [](const fs::path& r) { fs::remove(r / "BDMV" / "PLAYLIST" / "00000.mpls"); }, false,
         "AVCHD playlist no playlist in BDMV/PLAYLIST"},
        {"clip cut short", [&](const fs::path& r) { fs::resize_file(r / clip, 192 * 1000); }, false,
         "video duration"},
    };
    for (const Spoiled& c : cases) {
        const fs::path result = temp.path() / c.name;
        fs::copy(made, result, fs::copy_options::recursive);
        c.spoil(result);
        const ResultCheck check = Check(result.string(), source, Console::Ps3);
        ASSERT_TRUE(check.readable) << c.name << ": " << check.error;
        EXPECT_EQ(check.verification.plays, c.plays) << c.name;
        EXPECT_NE(Line(check, Console::Ps3).find(c.failure), std::string::npos)
            << c.name << ": " << Line(check, Console::Ps3);
    }
}

TEST_F(CheckedResult, TheRulesOfTheConsoleJudgeAnMp4) {
    struct Mp4Case {
        const char* name;
        std::vector<std::string> options;
        Console console;
        const char* failure;
    };
    const Mp4Case cases[] = {
        {"six-channel AAC",
         {"-c:a", "aac", "-ac", "6", "-level", "4.1"},
         Console::Xbox360,
         "audio AAC LC 6 ch; MP4 plays AAC LC with 2 channels only"},
        {"level byte 5.1", {"-c:a", "aac", "-ac", "2"}, Console::Ps3, "H.264 level 5.1 > 4.1"},
    };
    for (const Mp4Case& c : cases) {
        const std::string mp4 = temp / (std::string(c.name) + ".mp4");
        MakeMkv(mp4, {}, 6, c.options);
        const ResultCheck check = Check(mp4, mp4, c.console);
        ASSERT_TRUE(check.readable) << c.name << ": " << check.error;
        EXPECT_FALSE(check.verification.plays) << c.name;
        EXPECT_NE(Line(check, c.console).find(c.failure), std::string::npos)
            << c.name << ": " << Line(check, c.console);
    }
}

// An AVI cut to fit the size limit: "Film.avi", "Film-2.avi"; their lengths add up.
TEST_F(CheckedResult, AviPiecesAddUp) {
    const std::string whole = temp / "whole.avi";
    MakeAvi(whole, 6);
    test::Ffmpeg({"-i", whole, "-map", "0", "-c", "copy", "-f", "segment", "-segment_time", "3",
                  "-reset_timestamps", "1", temp / "piece%d.avi"});
    fs::rename(temp / "piece0.avi", temp / "Film.avi");
    fs::rename(temp / "piece1.avi", temp / "Film-2.avi");
    const ResultCheck pieces = Check(temp / "Film.avi", whole, Console::Xbox360);
    EXPECT_TRUE(pieces.verification.plays) << Line(pieces, Console::Xbox360);
    fs::remove(temp / "Film-2.avi");
    const ResultCheck first = Check(temp / "Film.avi", whole, Console::Xbox360);
    EXPECT_FALSE(first.verification.plays);
    EXPECT_NE(Line(first, Console::Xbox360).find("video duration"), std::string::npos);
}

}  // namespace
}  // namespace kestrun::e2e
