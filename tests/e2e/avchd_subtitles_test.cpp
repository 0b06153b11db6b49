// kestrun-cli convert --container avchd with subtitles: a text track of the MKV (--subs) and an
// SRT beside the source (--subs-beside) each become a PG stream that libbluray lists and FFmpeg
// draws at the cue's time, centred above the bottom offset, and nowhere between cues.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"
#include "support/subtitle_frames.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

constexpr const char* kSrt =
    "1\n00:00:00,500 --> 00:00:01,500\n\xC3\x87\x61 va\n\n2\n00:00:02,500 --> 00:00:03,200\nOui\n";

class AvchdSubtitles : public ::testing::Test {
protected:
    AvchdSubtitles() : program_(temp_.path()) { fs::create_directories(out_); }

    // Converts; returns the folder's stream file after checking the title's listing.
    std::string Convert(const std::string& source, const std::string& subtitleOption,
                        const std::string& language) {
        std::vector<std::string> argv{program_.Cli(), "convert", "--out",       out_.string(),
                                      "--container",  "avchd",   subtitleOption};
        if (subtitleOption == "--subs") argv.push_back("0");
        argv.push_back(source);
        const ProgramRun run = RunProgram(argv);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err.find("subtitle track"), std::string::npos) << run.err;
        const std::string root = (out_ / fs::path(source).stem()).string();
        const std::string titles = RunProgram({"/usr/bin/bd_list_titles", "-l", root}).out;
        EXPECT_NE(titles.find("PG:1"), std::string::npos) << titles;
        EXPECT_NE(titles.find("PG : " + language), std::string::npos) << titles;
        return root + "/BDMV/STREAM/00000.m2ts";
    }

    test::TempFolder temp_{"kestrun-e2e-pg"};
    ProgramFolderCopy program_;
    fs::path out_ = temp_.path() / "out";
};

// 320x240: the bottom offset is 50.
void ExpectCuesDrawn(const std::string& m2ts) {
    EXPECT_EQ(Probe(m2ts).OfType("subtitle").at(0).codec, "hdmv_pgs_subtitle");
    const test::GrayFrame plain = test::FrameAt(m2ts, 1.0, false);
    const test::PixelBox box = test::DifferenceBox(plain, test::FrameAt(m2ts, 1.0, true));
    ASSERT_FALSE(box.Empty());
    EXPECT_NEAR((box.left + box.right) / 2.0, 160, 4);
    EXPECT_NEAR(box.bottom, 240 - 50 - 6, 6);
    EXPECT_TRUE(test::DifferenceBox(test::FrameAt(m2ts, 2.0, false), test::FrameAt(m2ts, 2.0, true))
                    .Empty());
    EXPECT_FALSE(
        test::DifferenceBox(test::FrameAt(m2ts, 2.8, false), test::FrameAt(m2ts, 2.8, true))
            .Empty());
}

TEST_F(AvchdSubtitles, TextTrackOfTheMkv) {
    const std::string plain = (temp_.path() / "plain.mkv").string();
    MakeMkv(plain, {"-c:a", "ac3", "-b:a", "192k"}, 2, {}, 4);
    const std::string srt = temp_.Write("cues.srt", kSrt);
    const std::string source = (temp_.path() / "Film.mkv").string();
    test::Mkvmerge({"-o", source, plain, "--language", "0:ger", srt});
    ExpectCuesDrawn(Convert(source, "--subs", "ger"));
}

TEST_F(AvchdSubtitles, SrtBesideTheSource) {
    const std::string source = (temp_.path() / "Clip.mkv").string();
    MakeMkv(source, {"-c:a", "ac3", "-b:a", "192k"}, 2, {}, 4);
    temp_.Write("Clip.srt", kSrt);
    ExpectCuesDrawn(Convert(source, "--subs-beside", "und"));
}

}  // namespace
}  // namespace kestrun::e2e
