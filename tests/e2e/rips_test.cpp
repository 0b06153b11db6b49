// Disc rips as they come, through kestrun-cli: picture subtitles (PGS from a Blu-ray, VobSub from
// a DVD) carried into an AVCHD folder or drawn into a re-encode, and the disc's chapters as the
// playlist's marks.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"
#include "support/playlist_marks.h"
#include "support/subtitle_frames.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

// Inside the sample's first cue (1.0 to 2.5 s) and between its cues (2.5 to 4.0 s).
constexpr double kAtCue = 1.5, kBetweenCues = 3.2;

// Subtitles show at the cue and not between cues: `with` (its subtitle stream overlaid when
// `overlay`) differs from `without` at the cue's time only.
void ExpectShownOnlyAtCue(const std::string& with, bool overlay, const std::string& without) {
    EXPECT_FALSE(test::DifferenceBox(test::FrameAt(with, kAtCue, overlay),
                                     test::FrameAt(without, kAtCue, false))
                     .Empty());
    EXPECT_TRUE(test::DifferenceBox(test::FrameAt(with, kBetweenCues, overlay),
                                    test::FrameAt(without, kBetweenCues, false))
                    .Empty());
}

class RipsTest : public ::testing::Test {
protected:
    RipsTest() : program_(temp_.path()) { fs::create_directories(out_); }

    ProgramRun Convert(std::vector<std::string> options, const std::string& source) {
        std::vector<std::string> argv = {program_.Cli(), "convert", "--out", out_.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(source);
        return RunProgram(argv);
    }
    // The picture subtitle film with six seconds of AC-3 beside it.
    std::string Rip(const std::string& kind) {
        const std::string source = (temp_.path() / ("Rip " + kind + ".mkv")).string();
        const std::string sound = test::FfmpegSample(
            {"-f", "lavfi", "-i", "sine=duration=6:sample_rate=48000", "-c:a", "ac3"}, "ac3");
        test::Mkvmerge({"-o", source, test::PictureSubtitleSample(kind), sound});
        return source;
    }
    // The one file the conversion left in the output folder.
    std::string Result() {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(out_)) files.push_back(entry.path());
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? std::string() : files.front().string();
    }

    test::TempFolder temp_{"kestrun-e2e-rips"};
    ProgramFolderCopy program_;
    fs::path out_ = temp_.path() / "out";
};

// The chosen track becomes the folder's PG stream with its language, shown at a cue's time and
// not between cues.
TEST_F(RipsTest, PictureSubtitlesAreCarriedIntoAvchd) {
    for (const std::string kind : {"pgs", "vobsub"}) {
        SCOPED_TRACE(kind);
        const ProgramRun run = Convert({"--container", "avchd", "--subs", "0"}, Rip(kind));
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        const std::string folder = Result();
        const ProgramRun titles = RunProgram({"/usr/bin/bd_list_titles", "-l", folder});
        EXPECT_NE(titles.out.find("PG:1"), std::string::npos) << titles.out;
        EXPECT_NE(titles.out.find("PG : eng"), std::string::npos) << titles.out;
        const std::string title = (temp_.path() / "title.m2ts").string();
        RunProgram({"/usr/bin/bd_splice", "-p", "0", folder, title});
        ExpectShownOnlyAtCue(title, true, title);
        fs::remove_all(folder);
        fs::remove(title);
    }
}

// An MP4 or M2TS result without a re-encode carries no subtitles: asking for them is refused
// before any work, naming what would carry them, instead of a result without them.
TEST_F(RipsTest, SubtitlesAskedOfAnOutputWithoutThemAreRefused) {
    const std::string source = Rip("pgs");
    for (const auto& container : {"mp4", "m2ts"}) {
        SCOPED_TRACE(container);
        const ProgramRun run = Convert({"--container", container, "--subs", "0"}, source);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("--subs: subtitles go only into a re-encode or an AVCHD folder"),
                  std::string::npos)
            << run.err;
        EXPECT_TRUE(fs::is_empty(out_));
    }
}

// The re-encodes draw the chosen track into the picture: a frame at a cue differs from the same
// encode without subtitles, one between cues does not.
TEST_F(RipsTest, PictureSubtitlesAreDrawnIntoReencodes) {
    const std::pair<std::string, std::string> rows[] = {{"h264", "pgs"}, {"mpeg2", "vobsub"}};
    for (const auto& [recode, kind] : rows) {
        SCOPED_TRACE(recode + " " + kind);
        const std::string source = Rip(kind);
        auto encode = [&](std::vector<std::string> options) {
            options.insert(options.end(), {"--recode", recode});
            const ProgramRun run = Convert(options, source);
            EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
            const std::string moved = (temp_.path() / (options.size() + ".result")).string();
            fs::rename(Result(), moved);
            return moved;
        };
        const std::string bare = encode({}), drawn = encode({"--subs", "0"});
        ExpectShownOnlyAtCue(drawn, false, bare);
        fs::remove(bare);
        fs::remove(drawn);
    }
}

// A film whose sound is converted (so no muxed track comes from the MKV itself) keeps its
// chapters at 0, 3 and 7.5 s: each mark on the first key frame (one a second) at or after its
// chapter.
TEST_F(RipsTest, TheSourcesChaptersAreThePlaylistsMarks) {
    const std::string chapters =
        temp_.Write("chapters.txt",
                    "CHAPTER01=00:00:00.000\nCHAPTER01NAME=One\nCHAPTER02=00:00:03.000\n"
                    "CHAPTER02NAME=Two\nCHAPTER03=00:00:07.500\nCHAPTER03NAME=Three\n");
    const std::string film = test::FfmpegSample(
        {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=10", "-f", "lavfi", "-i",
         "sine=duration=10:sample_rate=48000", "-c:v", "libx264", "-preset", "ultrafast", "-g",
         "25", "-pix_fmt", "yuv420p", "-c:a", "aac"},
        "mkv");
    const std::string source = (temp_.path() / "Chaptered.mkv").string();
    test::Mkvmerge({"-o", source, "--chapters", chapters, film});
    const ProgramRun run = Convert({"--container", "avchd"}, source);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const auto marks = test::PlaylistMarkSeconds(
        test::ReadBytes((out_ / "Chaptered/BDMV/PLAYLIST/00000.mpls").string()));
    ASSERT_EQ(marks.size(), 3u);
    const double expected[] = {0, 3, 7.5};
    for (size_t i = 0; i < marks.size(); ++i) EXPECT_NEAR(marks[i], expected[i], 0.5) << i;
}

}  // namespace
}  // namespace kestrun::e2e
