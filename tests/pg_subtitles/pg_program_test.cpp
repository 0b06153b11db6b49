// tsMuxeR with a subtitle line: the PG stream in the stream file and the Blu-ray folder, as
// FFmpeg draws it and libbluray lists it, and a broken SRT refused with nothing written.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/process.h"
#include "support/samples.h"
#include "support/subtitle_frames.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {
namespace fs = std::filesystem;

constexpr const char* kSrt =
    "1\r\n00:00:01,000 --> 00:00:02,500\r\nPremi\xC3\xA8re ligne\r\n<i>deuxi\xC3\xA8me</i>\r\n\r\n"
    "2\r\n00:00:04,000 --> 00:00:05,000\r\nBonjour\r\n";

// A 6 s 640x360 film with AC-3 audio, and the same with the SRT as its track 3 (French) and as
// ASS its track 4.
class PgProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("kestrun-pg");
        SampleAt(SmallFilmArgs(), (*folder_) / "film.mkv");
        folder_->Write("film.srt", kSrt);
        Ffmpeg({"-i", (*folder_) / "film.srt", (*folder_) / "film.ass"});
        Mkvmerge({"-o", (*folder_) / "subbed.mkv", (*folder_) / "film.mkv", "--language", "0:fre",
                  (*folder_) / "film.srt", (*folder_) / "film.ass"});
    }
    static void TearDownTestSuite() { delete folder_; }

    static std::string F(const std::string& name) { return (*folder_) / name; }
    static std::string Meta(const std::string& subtitleLine, bool bluRay) {
        static int count = 0;
        const std::string mkv = F("subbed.mkv");
        return folder_->Write("m" + std::to_string(++count) + ".meta",
                              std::string(bluRay ? "MUXOPT --blu-ray --auto-chapters=5\r\n" : "") +
                                  "V_MPEG4/ISO/AVC, \"" + mkv + "\", track=1, fps=25\r\nA_AC3, \"" +
                                  mkv + "\", track=2\r\n" + subtitleLine + "\r\n");
    }
    static std::string SubtitleLine(const std::string& file, const std::string& tail) {
        return "S_TEXT/UTF8, \"" + file +
               "\" ,font-name=\"Arial\",font-size=42,font-color=0x00FFFFFF,font-charset=1,"
               "bottom-offset=40,font-border=1,text-align=center,video-width=640,"
               "video-height=360" +
               tail;
    }
    static ProgramRun TsMuxer(const std::string& meta, const std::string& out) {
        return RunProgram({BuiltTool("TS/tsmuxer"), meta, out});
    }

    static TempFolder* folder_;
};
TempFolder* PgProgram::folder_ = nullptr;

// The cue at 1.5 s shows centred at the bottom offset; none shows at 3.2 s.
void ExpectCueShown(const std::string& m2ts, const std::string& png = {}) {
    const GrayFrame plain = FrameAt(m2ts, 1.5, false), subbed = FrameAt(m2ts, 1.5, true, png);
    ASSERT_FALSE(plain.pixels.empty());
    const PixelBox box = DifferenceBox(plain, subbed);
    ASSERT_FALSE(box.Empty());
    EXPECT_NEAR((box.left + box.right) / 2.0, 320, 4);
    EXPECT_NEAR(box.bottom, 360 - 40 - 6, 6);  // the line's descent ends at the offset
    EXPECT_GT(box.bottom - box.top, 60);       // two lines
    EXPECT_TRUE(DifferenceBox(FrameAt(m2ts, 3.2, false), FrameAt(m2ts, 3.2, true)).Empty());
    EXPECT_FALSE(DifferenceBox(FrameAt(m2ts, 4.5, false), FrameAt(m2ts, 4.5, true)).Empty());
}

TEST_F(PgProgram, StreamFileFromTheMkvTrack) {
    const std::string out = F("track.m2ts");
    const auto run =
        TsMuxer(Meta(SubtitleLine(F("subbed.mkv"), ", track=3, fps=25, lang=fre"), false), out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
    const auto fields = ProbeFields(out, "s:0", "stream=codec_name,id");
    EXPECT_EQ(fields.at("codec_name"), "hdmv_pgs_subtitle");
    EXPECT_EQ(fields.at("id"), "0x1200");
    fs::create_directories(KESTRUN_TEST_ARTEFACTS);
    ExpectCueShown(out, std::string(KESTRUN_TEST_ARTEFACTS) + "/pg_cue.png");
}

TEST_F(PgProgram, AssTrackAndAssFileDrawnAsText) {
    const std::pair<const char*, const char*> rows[] = {{"subbed.mkv", ", track=4, fps=25"},
                                                        {"film.ass", ", fps=25"}};
    for (const auto& [file, tail] : rows) {
        const std::string out = F(std::string(file) + ".m2ts");
        const auto run = TsMuxer(Meta(SubtitleLine(F(file), tail), false), out);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ExpectCueShown(out);
    }
}

TEST_F(PgProgram, BluRayFolderFromTheSrtBeside) {
    const std::string root = F("Folder");
    const auto run = TsMuxer(Meta(SubtitleLine(F("film.srt"), ", , fps=25, lang=fre"), true), root);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string titles = RunProgram({"/usr/bin/bd_list_titles", "-l", root}).out;
    EXPECT_NE(titles.find("PG:1"), std::string::npos) << titles;
    EXPECT_NE(titles.find("PG : fre"), std::string::npos) << titles;
    ExpectCueShown(root + "/BDMV/STREAM/00000.m2ts");
}

TEST_F(PgProgram, BrokenSrtRefusedWithNothingWritten) {
    const std::string srt = folder_->Write("broken.srt",
                                           "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n"
                                           "2\n00:00:03,000 -- 00:00:04,000\nx\n");
    const std::string out = F("broken.m2ts"), root = F("BrokenFolder");
    const auto run = TsMuxer(Meta(SubtitleLine(srt, ", fps=25"), false), out);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("broken.srt line 6"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".partial"));
    EXPECT_EQ(TsMuxer(Meta(SubtitleLine(srt, ", fps=25"), true), root).exitCode, 1);
    EXPECT_FALSE(fs::exists(root));
    EXPECT_FALSE(fs::exists(root + ".partial"));
}

}  // namespace
}  // namespace kestrun::test
