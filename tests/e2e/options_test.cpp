// kestrun-cli convert with the options that change what the MP4 chain does to the audio: the
// choice of audio track and the 25 frames per second output.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

class OptionsTest : public ::testing::Test {
protected:
    OptionsTest() : program_(temp_.path()) { fs::create_directories(out_); }

    // Converts for the PS3 and returns ffprobe's view of the result.
    MediaFacts Convert(const fs::path& source, std::vector<std::string> options) {
        for (const auto& entry : fs::directory_iterator(out_)) fs::remove_all(entry.path());
        std::vector<std::string> argv = {program_.Cli(), "convert", "--out", out_.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(source.string());
        const ProgramRun run = RunProgram(argv);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const fs::path mp4 = out_ / (source.stem().string() + ".mp4");
        if (!fs::exists(mp4)) throw std::runtime_error("no MP4: " + run.err);
        return Probe(mp4.string());
    }

    test::TempFolder temp_{"kestrun-e2e"};
    ProgramFolderCopy program_;
    fs::path out_ = temp_.path() / "out";
};

// The audio list follows the MKV's tracks wherever the video sits among them: an MP3 of 1 s
// before the video and an AC-3 of 2 s after it; each choice brings its own track's length.
TEST_F(OptionsTest, ChosenAudioTrackIsTheOneConverted) {
    const fs::path source = temp_.path() / "Tracks.mkv";
    std::vector<std::string> args = ToneInput(2, 1);
    for (auto part :
         {PictureInput("320x240"), ToneInput(6, 2),
          std::vector<std::string>{"-t", "2", "-map", "0:a", "-map", "1:v", "-map", "2:a"},
          H264Options(), std::vector<std::string>{"-c:a:0", "libmp3lame", "-c:a:1", "ac3"}})
        args.insert(args.end(), part.begin(), part.end());
    test::SampleAt(args, source.string());

    const MediaFacts first = Convert(source, {"--audio", "0"});
    ASSERT_EQ(first.OfType("audio").size(), 1u);
    EXPECT_NEAR(first.OfType("audio")[0].duration.value_or(0), 1.0, 0.15);

    const MediaFacts second = Convert(source, {"--audio", "1"});
    ASSERT_EQ(second.OfType("audio").size(), 1u);
    EXPECT_NEAR(second.OfType("audio")[0].duration.value_or(0), 2.0, 0.15);
    EXPECT_EQ(second.OfType("video").at(0).framesDecoded, 48);
}

// "25 FPS output" speeds up film at 23.976 fps: every frame kept at 25 fps, the audio's tempo
// changed with it so that both still end together.
TEST_F(OptionsTest, Fps25SpeedsUpPictureAndSoundTogether) {
    const fs::path source = temp_.path() / "Film.mkv";
    MakeMkv(source.string(), {"-c:a", "ac3", "-b:a", "384k"}, 6, {}, 5);

    const MediaFacts got = Convert(source, {"--fps25"});

    const auto video = got.OfType("video");
    const auto audio = got.OfType("audio");
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(video[0].avgFrameRate, "25/1");
    EXPECT_EQ(video[0].framesDecoded, 120);
    const double sped = 120 / 25.0;  // 4.8 s instead of 5.005 s
    EXPECT_NEAR(video[0].duration.value_or(0), sped, 0.05);
    EXPECT_NEAR(audio[0].duration.value_or(0), sped, 0.1);
}

// Vorbis is encoded straight from the extracted track, which the tempo change never sees: the
// film keeps its own rate rather than losing its sound's sync.
TEST_F(OptionsTest, Fps25LeavesTheRateWhenTheSoundCannotFollow) {
    const fs::path source = temp_.path() / "Film.mkv";
    MakeMkv(source.string(), {"-c:a", "libvorbis"}, 2, {}, 5);

    const MediaFacts got = Convert(source, {"--fps25"});

    ASSERT_EQ(got.OfType("video").size(), 1u);
    ASSERT_EQ(got.OfType("audio").size(), 1u);
    EXPECT_EQ(got.OfType("video")[0].avgFrameRate, "24000/1001");
    EXPECT_NEAR(got.OfType("audio")[0].duration.value_or(0),
                got.OfType("video")[0].duration.value_or(-1), 0.1);
}

// Options are set as clicks on the window would set them, so the window's rules refuse the same
// combinations, naming the option that locked the other one, or the source when it did.
TEST_F(OptionsTest, CombinationsTheWindowForbidsAreRefusedBeforeAnyWork) {
    const fs::path source = temp_.path() / "Film.mkv";
    MakeMkv(source.string(), {"-c:a", "aac"}, 2, {}, 1);
    auto refuse = [&](std::vector<std::string> options) {
        std::vector<std::string> argv = {program_.Cli(), "convert", "--out", out_.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(source.string());
        const ProgramRun run = RunProgram(argv);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_TRUE(fs::is_empty(out_));
        return run.err;
    };
    const std::string avchd = refuse({"--container", "avchd", "--fps25"});
    EXPECT_NE(avchd.find("--fps25 cannot be combined with --container avchd"), std::string::npos)
        << avchd;
    const std::string vob = refuse({"--container", "m2ts", "--recode", "none", "--fps25"});
    EXPECT_NE(vob.find("--fps25 cannot be combined with --container m2ts"), std::string::npos)
        << vob;
    // Safe Sync is offered for AC-3 sound only: the source is to blame, not --platform.
    const std::string sync = refuse({"--safe-sync"});
    EXPECT_NE(sync.find("--safe-sync: "), std::string::npos) << sync;
    EXPECT_NE(sync.find("for this source"), std::string::npos) << sync;
}

}  // namespace
}  // namespace kestrun::e2e
