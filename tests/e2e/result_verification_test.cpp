// The console rules on what a conversion wrote: a result that plays is reported as verified and
// exits 0; one that breaks a rule is reported on standard error and exits 3. Every kind of result
// is read back: MP4, M2TS and program stream ".mpg", AVCHD folder, AVI with its pieces.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>

#include "app/result_check.h"
#include "e2e/e2e_support.h"
#include "model/context.h"
#include "support/scripted_host.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

// Xvid video (a key frame a second) with MP3 sound in an AVI, 320x240 at 23.976 fps.
void MakeAvi(const std::string& path, double seconds) {
    std::vector<std::string> args = PictureInput("320x240");
    for (auto part : {ToneInput(2, seconds),
                      std::vector<std::string>{"-t", std::to_string(seconds), "-map", "0:v", "-map",
                                               "1:a", "-c:v", "libxvid", "-vtag", "XVID", "-g",
                                               "24", "-c:a", "libmp3lame"}})
        args.insert(args.end(), part.begin(), part.end());
    test::SampleAt(args, path);
}

// "a b c" -> {"a", "b", "c"}
std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

struct Case {
    const char* name;
    const char* sourceOptions;  // MKV: after the default H.264 High 5.1 and AC-3 5.1
    const char* convertOptions;
    int exitCode;
    const char* verdict;  // on standard error
    const char* result;
    const char* logged;  // one rule line of the log
};

TEST(ResultVerification, TheVerdictOnTheResultDecidesTheExitCode) {
    const Case cases[] = {
        {"level 5.1 patched", "", "--platform xbox360", 0,
         "Conversion done and verified: plays on the Xbox 360", "Film.mp4", "pass video frames"},
        // The header stage rewrites level 5.1 only: a 5.2 stream keeps its level byte.
        {"level 5.2 kept", "-level 5.2", "", 3,
         "Conversion done, but the result will not play: PS3: H.264 level 5.2 > 4.1", "Film.mp4",
         "fail H.264 level"},
        {"M2TS stream", "", "--container m2ts", 0, "verified: plays on the PS3", "Film.mpg",
         "pass container M2TS"},
        {"AVCHD folder", "", "--container avchd", 0, "verified: plays on the PS3", "Film",
         "pass AVCHD playlist 00000.mpls: 00000.m2ts"},
        {"VOB repack", "-c:v mpeg2video", "", 0, "verified: plays on the PS3", "Film.mpg",
         "pass container MPEG-PS"},
        {"VOB repack for the Xbox 360", "-c:v mpeg2video", "--platform xbox360", 3,
         "will not play: Xbox 360: container MPEG-PS; plays MP4, AVI, WMV", "Film.mpg", ""},
        // An AVI source: the video copied, every frame kept, and the sound made MP3.
        {"AVI", "", "", 0, "verified: plays on the PS3", "KR_Film.avi", "pass video frames"},
        // FFmpeg copies mkvmerge's statistics unchanged into a file it cuts.
        {"cut", "", "", 0, "verified: plays on the PS3", "Film.mp4",
         "unknown video frames source's count not in the headers"},
    };
    for (const Case& c : cases) {
        test::TempFolder temp("kestrun-e2e");
        const ProgramFolderCopy program(temp.path());
        const bool avi = std::string(c.name) == "AVI";
        const std::string source = temp / (avi ? "Film.avi" : "Film.mkv");
        if (avi) {
            MakeAvi(source, 2);
        } else {  // as mkvmerge writes it, with the frame counts in its statistics tags
            const std::string made = temp / "made.mkv", merged = temp / "merged.mkv";
            MakeMkv(made, {"-c:a", "ac3", "-b:a", "384k"}, 6, Words(c.sourceOptions));
            test::Mkvmerge({"-o", merged, made});
            if (std::string(c.name) == "cut")
                test::Ffmpeg({"-i", merged, "-t", "1", "-c", "copy", source});
            else
                fs::rename(merged, source);
        }
        std::vector<std::string> args = {program.Cli(), "convert", "--out", temp.path().string()};
        for (const std::string& option : Words(c.convertOptions)) args.push_back(option);
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

// One picture beside three seconds of sound: a transport stream gives out its only picture at
// its end, and the picture's length is still one frame's, in every output.
TEST(ResultVerification, OnePictureBesideSecondsOfSoundVerifiesInEveryOutput) {
    const std::string picture = test::H264Sample(320, 240, 1, {}, "24", "h264");
    const std::string sound = test::FfmpegSample(
        {"-f", "lavfi", "-i", "sine=sample_rate=48000:duration=3", "-c:a", "ac3"}, "ac3");
    for (const char* container : {"mp4", "m2ts", "avchd"}) {
        test::TempFolder temp("kestrun-e2e");
        const ProgramFolderCopy program(temp.path());
        const std::string source = temp / "Still.mkv";
        test::Mkvmerge({"-o", source, picture, sound});
        const ProgramRun run = RunProgram({program.Cli(), "convert", "--out", temp.path().string(),
                                           "--container", container, source});
        EXPECT_EQ(run.exitCode, 0) << container << "\n" << run.err;
        EXPECT_NE(run.err.find("verified: plays on the PS3"), std::string::npos) << run.err;
    }
}

// Results already in the output folder, as a batch finds them: spoiled after they were written
// (an interrupted run, a lost file) or breaking a rule of the console.
class CheckedResult : public ::testing::Test {
protected:
    // The verification line, or the reason the result could not be read.
    std::string Verdict(const std::string& result, const std::string& source, Console console) {
        const ResultCheck check = CheckResultAt(ctx, result, source, 0, console);
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
    const fs::path clip = fs::path("BDMV") / "STREAM" / "00000.m2ts";
    const struct {
        const char* name;
        std::function<void(const fs::path& folder)> spoil;
        const char* verdict;
    } cases[] = {
        {"whole", [](const fs::path&) {}, "plays on the PS3"},
        {"clip removed", [&](const fs::path& f) { fs::remove(f / clip); },
         "AVCHD playlist 00000.mpls names 00000.m2ts, not in BDMV/STREAM"},
        {"playlist removed", [](const fs::path& f) { fs::remove(f / "BDMV/PLAYLIST/00000.mpls"); },
         "AVCHD playlist no playlist in BDMV/PLAYLIST"},
        {"clip cut short", [&](const fs::path& f) { fs::resize_file(f / clip, 192 * 1000); },
         "PS3: video duration"},
    };
    for (const auto& c : cases) {
        const fs::path folder = temp.path() / c.name;
        fs::copy(temp.path() / "Film", folder, fs::copy_options::recursive);
        c.spoil(folder);
        const std::string verdict = Verdict(folder.string(), source, Console::Ps3);
        EXPECT_NE(verdict.find(c.verdict), std::string::npos) << c.name << ": " << verdict;
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
    EXPECT_EQ(Verdict(temp / "Film.avi", whole, Console::Xbox360), "plays on the Xbox 360");
    fs::remove(temp / "Film-2.avi");
    EXPECT_NE(Verdict(temp / "Film.avi", whole, Console::Xbox360).find("video duration"),
              std::string::npos);
}

}  // namespace
}  // namespace kestrun::e2e
