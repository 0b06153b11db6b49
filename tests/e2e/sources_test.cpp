// kestrun-cli on sources outside the common H.264 road: MKVs with MPEG-2 or MPEG-4 Part 2 video,
// an MKV without video, WMVs that are not VC-1, files that are neither MKV, AVI nor WMV, AVIs
// with two audio tracks. Each ends in a result that plays with the chosen sound, or in a refusal
// before any work that names the reason.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

// Three seconds of 25 fps MPEG-2 or MPEG-4 Part 2 (`codec`) with the given audio streams, each
// from its own tone input.
std::string Film(const std::string& codec, const std::vector<std::vector<std::string>>& audio,
                 const std::string& extension) {
    std::vector<std::string> args = {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:d=3"};
    for (size_t i = 0; i < audio.size(); ++i)
        args.insert(args.end(), {"-f", "lavfi", "-i",
                                 "sine=frequency=" + std::to_string(440 * (i + 1)) + ":d=3"});
    args.insert(args.end(), {"-map", "0:v"});
    for (size_t i = 0; i < audio.size(); ++i) {
        const std::string n = std::to_string(i);
        args.insert(args.end(), {"-map", std::to_string(i + 1) + ":a"});
        for (size_t j = 0; j < audio[i].size(); j += 2)
            args.insert(args.end(), {audio[i][j] + ":" + n, audio[i][j + 1]});
    }
    args.insert(args.end(), {"-c:v", codec, "-ac", "2"});
    return test::FfmpegSample(args, extension);
}

const std::vector<std::string> kAc3 = {"-c:a", "ac3"};
const std::vector<std::string> kAac = {"-c:a", "aac"};
const std::vector<std::string> kDts = {"-c:a", "dca", "-strict:a", "-2"};
const std::vector<std::string> kFlac = {"-c:a", "flac"};
const std::vector<std::string> kMp3 = {"-c:a", "libmp3lame"};

class SourcesTest : public ::testing::Test {
protected:
    SourcesTest() : program_(temp_.path()) { fs::create_directories(out_); }

    ProgramRun Convert(const std::string& sample, const std::string& name,
                       std::vector<std::string> options = {}) {
        const fs::path source = temp_.path() / name;
        fs::copy_file(sample, source, fs::copy_options::overwrite_existing);
        std::vector<std::string> argv = {program_.Cli(), "convert", "--out", out_.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(source.string());
        return RunProgram(argv);
    }
    // Refused before any work: the exit code, the reason on standard error, no file written.
    void ExpectRefused(const ProgramRun& run, int exitCode, const std::string& reason) {
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_TRUE(FolderNames(out_).empty());
        EXPECT_TRUE(run.out.empty());
    }

    test::TempFolder temp_{"kestrun-e2e-sources"};
    ProgramFolderCopy program_;
    fs::path out_ = temp_.path() / "out";
};

// The repack takes the chosen track; what a VOB cannot carry (or the PS3 does not play in one)
// becomes AC-3.
TEST_F(SourcesTest, Mpeg2MkvsRepackTheChosenTrackAsTheVobPlaysIt) {
    struct Case {
        const char* name;
        std::vector<std::vector<std::string>> audio;
        std::vector<std::string> options;
        const char* codec;  // of the result's one audio stream
    };
    const Case cases[] = {
        {"second of two", {kMp3, kAac}, {"--audio", "1"}, "ac3"},
        {"first of two", {kMp3, kAac}, {"--audio", "0"}, "mp3"},
        {"DTS", {kDts}, {}, "ac3"},
        {"FLAC", {kFlac}, {}, "ac3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(out_);
        fs::create_directories(out_);
        const ProgramRun run = Convert(Film("mpeg2video", c.audio, "mkv"), "film.mkv", c.options);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("verified: plays on the PS3"), std::string::npos) << run.err;
        const MediaFacts got = Probe((out_ / "film.mpg").string());
        ASSERT_EQ(got.OfType("video").size(), 1u);
        EXPECT_EQ(got.OfType("video")[0].codec, "mpeg2video");
        ASSERT_EQ(got.OfType("audio").size(), 1u);
        EXPECT_EQ(got.OfType("audio")[0].codec, c.codec);
        EXPECT_NEAR(got.duration, 3.0, 0.3);
    }
}

TEST_F(SourcesTest, Mpeg2MkvsFollowTheRecodeAndRefuseAContainerWithoutIt) {
    const std::string film = Film("mpeg2video", {kAc3}, "mkv");
    ExpectRefused(Convert(film, "film.mkv", {"--container", "avchd", "--recode", "none"}), 1,
                  "needs an H.264 re-encode");
    const ProgramRun run = Convert(film, "film.mkv", {"--recode", "h264"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaFacts got = Probe((out_ / "film.mp4").string());
    ASSERT_EQ(got.OfType("video").size(), 1u);
    EXPECT_EQ(got.OfType("video")[0].codec, "h264");
}

// MPEG-4 Part 2 is copied into an MP4; an AVCHD folder carries none, so it is re-encoded there.
TEST_F(SourcesTest, Mpeg4Part2MkvsAreCopiedIntoAnMp4) {
    const ProgramRun run = Convert(Film("mpeg4", {kAc3}, "mkv"), "film.mkv");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("verified: plays on the PS3"), std::string::npos) << run.err;
    const MediaFacts got = Probe((out_ / "film.mp4").string());
    ASSERT_EQ(got.OfType("video").size(), 1u);
    EXPECT_EQ(got.OfType("video")[0].codec, "mpeg4");
    EXPECT_EQ(got.OfType("video")[0].framesDecoded, 75);
    EXPECT_EQ(got.OfType("audio").size(), 1u);
}

TEST_F(SourcesTest, SourcesNoChainTakesAreRefusedWithTheReason) {
    const std::string soundOnly =
        test::FfmpegSample({"-f", "lavfi", "-i", "sine=d=2", "-c:a", "ac3"}, "mkv");
    const std::string wmv2 = Film("wmv2", {{"-c:a", "wmav2"}}, "wmv");
    const std::string mp4 = test::H264Sample(320, 240, 25, {}, "25", "mp4");
    const struct {
        std::string sample, name, reason;
        int exitCode;
    } cases[] = {
        {soundOnly, "songs.mkv", "holds no video track", 1},
        {wmv2, "clip.wmv", "its video is wmv2", 1},
        {mp4, "film.mp4", "neither an MKV, an AVI nor a WMV", 1},
        {mp4, "film.wmv", "neither an MKV, an AVI nor a WMV", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefused(Convert(c.sample, c.name), c.exitCode, c.reason);
    }
    ExpectRefused(Convert(wmv2, "clip.wmv", {"--recode", "h264"}), 1, "not re-encoded");

    const fs::path songs = temp_.path() / "songs.mkv";
    const ProgramRun info = RunProgram({program_.Cli(), "info", songs.string()});
    EXPECT_NE(info.out.find("\"videoTrack\": \"\""), std::string::npos) << info.out;
}

// The AVI chains take the first audio track, and say so.
TEST_F(SourcesTest, TwoAudioAvisSayWhichTrackIsTaken) {
    const std::string avi = Film("mpeg4", {kMp3, kMp3}, "avi");
    ExpectRefused(Convert(avi, "two.avi", {"--audio", "1"}), 2, "only the first audio track");
    const ProgramRun run = Convert(avi, "two.avi");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("This AVI holds 2 audio tracks: the first one is converted"),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace kestrun::e2e
