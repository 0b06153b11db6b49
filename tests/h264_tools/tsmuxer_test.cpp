// tsMuxeR: the meta file reader, and the stream files and Blu-ray folders the program writes,
// checked with ffprobe and libbluray's own tools.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "h264_tools/media_fixture.h"
#include "support/playlist_marks.h"
#include "support/temp_folder.h"
#include "tsmuxer/meta_file.h"

namespace kestrun::test {
namespace {
namespace fs = std::filesystem;
using namespace standin::ts;

TEST(TsMuxerMetaFile, LinesAsTheChainsWriteThem) {
    const MetaFile meta = ParseMetaFile(
        "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 "
        "--split-size=2997MB  --vbv-len=500\r\n"
        "V_MPEG4/ISO/AVC, \"/films/A, B.mkv\", track=1, level=4.1, fps=23.976\r\n"
        "A_DTS, \"/films/A, B.mkv\", track=2\r\n"
        "S_TEXT/UTF8, \"/films/A.srt\" ,font-name=\"Arial\",font-size=42,bottom-offset=171.5,"
        "video-width=1920, , fps=23.976\r\n");
    EXPECT_TRUE(meta.options.bluRay);
    EXPECT_EQ(meta.options.autoChapterMinutes, 5);
    EXPECT_EQ(meta.options.splitSize, 2'997'000'000);
    ASSERT_EQ(meta.tracks.size(), 3u);
    EXPECT_EQ(meta.tracks[0].codec, "V_MPEG4/ISO/AVC");
    EXPECT_EQ(meta.tracks[0].path, "/films/A, B.mkv");
    EXPECT_EQ(meta.tracks[0].params, (std::map<std::string, std::string>{
                                         {"track", "1"}, {"level", "4.1"}, {"fps", "23.976"}}));
    EXPECT_TRUE(meta.tracks[1].IsAudio());
    EXPECT_TRUE(meta.tracks[2].IsSubtitle());
    EXPECT_EQ(meta.tracks[2].Param("font-name"), "Arial");
    EXPECT_EQ(meta.tracks[2].Param("bottom-offset"), "171.5");

    const MetaFile plain = ParseMetaFile("V_MS/VFW/WVC1, \"/w/movie.vc1\", fps=23.976\n");
    EXPECT_FALSE(plain.options.bluRay);
    EXPECT_EQ(plain.tracks.at(0).Param("fps"), "23.976");

    for (const char* bad :
         {"V_MPEG4/ISO/AVC, /no/quotes.h264", "A_AC3, \"/w/movie.ac3", "X_THING, \"/w/a\"",
          "A_AC3, \"/w/a.ac3\", track", "MUXOPT --split-size=4XB"})
        EXPECT_THROW(ParseMetaFile(bad), std::invalid_argument) << bad;
}

TEST(TsMuxerMetaFile, SplitSizes) {
    const std::pair<const char*, int64_t> rows[] = {{"4GB", 4'000'000'000},
                                                    {"4.5GB", 4'500'000'000},
                                                    {"2997MB", 2'997'000'000},
                                                    {"700MiB", 734'003'200},
                                                    {"2mb", 2'000'000}};
    for (const auto& [text, bytes] : rows) EXPECT_EQ(ParseSplitSize(text), bytes) << text;
    for (const char* bad : {"", "GB", "-1GB", "10KB", "4 GB"})
        EXPECT_THROW(ParseSplitSize(bad), std::invalid_argument) << bad;
}

// Samples made once: a raw H.264 stream with B-frames, an AC-3 file and an MKV holding both,
// and a 150 s MKV for chapters and clips.
class TsMuxerProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("kestrun-tsmuxer");
        const std::string video = H264Sample(
            320, 240, 96, {"-bf", "2", "-g", "24", "-level", "5.1"}, "24000/1001", "mkv");
        const std::string mkv =
            FfmpegSample({"-i", video, "-f", "lavfi", "-i", "sine=f=440:r=48000:d=4", "-map", "0:v",
                          "-map", "1:a", "-c:v", "copy", "-c:a", "ac3", "-ac", "6", "-shortest"},
                         "mkv");
        std::filesystem::copy_file(mkv, (*folder_) / "av.mkv");
        Ffmpeg({"-i", mkv, "-map", "0:v", "-c", "copy", "-bsf:v", "h264_mp4toannexb",
                (*folder_) / "movie.h264"});
        Ffmpeg({"-i", mkv, "-map", "0:a", "-c", "copy", (*folder_) / "movie.ac3"});
        SampleAt({"-f",      "lavfi",     "-i",   "testsrc=size=160x120:rate=25",
                  "-f",      "lavfi",     "-i",   "sine=r=48000",
                  "-t",      "150",       "-c:v", "libx264",
                  "-preset", "ultrafast", "-g",   "25",
                  "-c:a",    "ac3",       "-b:a", "96k"},
                 (*folder_) / "long.mkv");
    }
    static void TearDownTestSuite() { delete folder_; }

    std::string F(const std::string& name) const { return (*folder_) / name; }
    std::string Meta(const std::string& text) const {
        static int count = 0;
        return folder_->Write("m" + std::to_string(++count) + ".meta", text);
    }
    static ProgramRun TsMuxer(const std::string& meta, const std::string& out) {
        return RunProgram({BuiltTool("TS/tsmuxer"), meta, out});
    }
    static std::string BdListTitles(const std::string& root) {
        return RunProgram({"/usr/bin/bd_list_titles", "-l", root}).out;
    }

    static TempFolder* folder_;
};
TempFolder* TsMuxerProgram::folder_ = nullptr;

TEST_F(TsMuxerProgram, StreamFileFromRawH264WithBFrames) {
    const std::string out = F("raw.m2ts");
    const auto run = TsMuxer(Meta("V_MPEG4/ISO/AVC, \"" + F("movie.h264") +
                                  "\", fps=23.976\r\n"
                                  "A_AC3, \"" +
                                  F("movie.ac3") + "\"\r\n"),
                             out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto bytes = ReadBytes(out);
    ASSERT_EQ(bytes.size() % 6144, 0u);
    bool synced = true, patHasSit = false, sit = false;
    uint32_t lastAts = 0;
    int backwards = 0;
    for (size_t i = 0; i < bytes.size(); i += 192) {
        synced = synced && bytes[i + 4] == 0x47;
        const uint32_t ats =
            ((bytes[i] & 0x3F) << 24) | (bytes[i + 1] << 16) | (bytes[i + 2] << 8) | bytes[i + 3];
        backwards += ats < lastAts;
        lastAts = ats;
        const int pid = ((bytes[i + 5] & 0x1F) << 8) | bytes[i + 6];
        if (pid == 0) patHasSit = bytes[i + 19] == 0xE0 && bytes[i + 20] == 0x1F;
        sit = sit || (pid == 0x1F && bytes[i + 9] == 0x7F);
    }
    EXPECT_TRUE(synced);
    EXPECT_TRUE(patHasSit);
    EXPECT_TRUE(sit);
    EXPECT_EQ(backwards, 0);  // arrival times follow the clock (no wrap in 4 s)
    auto video = ProbeStream(out, "v:0"), audio = ProbeStream(out, "a:0");
    EXPECT_EQ(video["nb_read_frames"], "96");
    EXPECT_EQ(audio["nb_read_frames"], ProbeStream(F("movie.ac3"), "a:0")["nb_read_frames"]);
    EXPECT_LT(std::abs(std::stod(audio["start_time"]) - std::stod(video["start_time"])), 0.042);
    EXPECT_EQ(DecodedFrameHashes(out), DecodedFrameHashes(F("av.mkv")));
}

TEST_F(TsMuxerProgram, TimeshiftMovesTheAudio) {
    const std::string out = F("shifted.m2ts");
    const auto run = TsMuxer(Meta("V_MPEG4/ISO/AVC, \"" + F("movie.h264") + "\", fps=23.976\r\n" +
                                  "A_AC3, \"" + F("movie.ac3") + "\", timeshift=500ms\r\n"),
                             out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto video = ProbeStream(out, "v:0"), audio = ProbeStream(out, "a:0");
    EXPECT_NEAR(std::stod(audio["start_time"]) - std::stod(video["start_time"]), 0.5, 0.042);
}

TEST_F(TsMuxerProgram, BluRayFolderFromTheMkvWithTheLevelSet) {
    const std::string root = F("disc");
    const auto run = TsMuxer(
        Meta("MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5  "
             "--vbv-len=500\r\nV_MPEG4/ISO/AVC, \"" +
             F("av.mkv") + "\", track=1, level=4.1, fps=23.976\r\nA_AC3, \"" + F("av.mkv") +
             "\", track=2\r\n"),
        root);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* file :
         {"index.bdmv", "MovieObject.bdmv", "PLAYLIST/00000.mpls", "CLIPINF/00000.clpi",
          "BACKUP/index.bdmv", "BACKUP/PLAYLIST/00000.mpls"})
        EXPECT_TRUE(fs::is_regular_file(root + "/BDMV/" + file)) << file;
    EXPECT_TRUE(fs::is_directory(root + "/CERTIFICATE/BACKUP"));
    EXPECT_NE(BdListTitles(root).find("duration: 00:00:04 chapters:   1 angles:  1 clips:   1"),
              std::string::npos)
        << BdListTitles(root);
    const std::string copy = F("spliced.m2ts");
    RunProgram({"/usr/bin/bd_splice", "-p", "0", root, copy});
    EXPECT_EQ(ReadBytes(copy), ReadBytes(root + "/BDMV/STREAM/00000.m2ts"));
    EXPECT_EQ(ProbeStream(copy, "v:0")["level"], "41");
    EXPECT_EQ(ProbeStream(copy, "v:0")["nb_read_frames"], "96");
    EXPECT_EQ(ProbeStream(copy, "a:0")["nb_read_frames"],
              ProbeStream(F("av.mkv"), "a:0")["nb_read_frames"]);
}

TEST_F(TsMuxerProgram, SplitClipsAndChapters) {
    const std::string root = F("split");
    const auto run = TsMuxer(Meta("MUXOPT --blu-ray --auto-chapters=1 --split-size=2MB\r\n"
                                  "V_MPEG4/ISO/AVC, \"" +
                                  F("long.mkv") +
                                  "\", track=1, fps=25\r\n"
                                  "A_AC3, \"" +
                                  F("long.mkv") + "\", track=2\r\n"),
                             root);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int clips = 0;
    for (const auto& entry : fs::directory_iterator(root + "/BDMV/STREAM")) {
        ++clips;
        EXPECT_LE(fs::file_size(entry.path()), 2'000'000u);
        EXPECT_EQ(fs::file_size(entry.path()) % 6144, 0u);
        EXPECT_TRUE(
            fs::is_regular_file(root + "/BDMV/CLIPINF/" + entry.path().stem().string() + ".clpi"));
    }
    EXPECT_GT(clips, 1);
    const std::string titles = BdListTitles(root);
    EXPECT_NE(titles.find("duration: 00:02:30 chapters:   3"), std::string::npos) << titles;
    EXPECT_NE(titles.find("clips:   " + std::to_string(clips)), std::string::npos) << titles;
}

TEST_F(TsMuxerProgram, ChapterMarksFromTheMkvAnAudioLineNames) {
    const std::string chapters = folder_->Write("chapters.txt",
                                                "CHAPTER01=00:00:00.000\nCHAPTER01NAME=a\n"
                                                "CHAPTER02=00:00:01.800\nCHAPTER02NAME=b\n"
                                                "CHAPTER03=00:00:02.900\nCHAPTER03NAME=c\n");
    const std::string mkv = F("chapters.mkv");
    RunProgram({"/usr/bin/mkvmerge", "-q", "-o", mkv, "--chapters", chapters, F("av.mkv")});
    const std::string root = F("chapters");
    const auto run = TsMuxer(
        Meta("MUXOPT --blu-ray --auto-chapters=5\r\n"
             "V_MPEG4/ISO/AVC, \"" +
             F("movie.h264") + "\", fps=23.976\r\n" + "A_AC3, \"" + mkv + "\", track=2\r\n"),
        root);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Key frames every 1.001 s: each mark on the first at or after its chapter.
    const auto marks =
        kestrun::test::PlaylistMarkSeconds(ReadBytes(root + "/BDMV/PLAYLIST/00000.mpls"));
    ASSERT_EQ(marks.size(), 3u);
    const double expected[] = {0, 2.002, 3.003};
    for (size_t i = 0; i < marks.size(); ++i) EXPECT_NEAR(marks[i], expected[i], 0.01) << i;
}

TEST_F(TsMuxerProgram, RefusalsLeaveNoOutput) {
    const std::string mkv = F("av.mkv");
    const std::pair<std::string, std::string> rows[] = {
        {"A_AC3, \"" + mkv + "\", track=2\r\n", "exactly one video track"},
        {"V_MPEG4/ISO/AVC, \"" + F("missing.h264") + "\"\r\n", "does not exist"},
        {"V_MPEG4/ISO/AVC, \"" + mkv + "\", track=1\r\nA_AC3, \"" + mkv + "\", track=7\r\n",
         "has no track 7"},
        {"V_MPEG4/ISO/AVC, \"" + mkv + "\", track=2\r\n", "is no video track"},
        {"V_MPEG4/ISO/AVC, \"" + mkv + "\", track=1\r\nS_TEXT/UTF8, \"" + mkv +
             "\" ,font-name=\"Arial\", track=3, fps=23.976\r\n",
         "needs video-width= and video-height="},
        {"V_MPEG4/ISO/AVC, \"" + mkv + "\", track=1\r\nS_TEXT/UTF8, \"" + mkv +
             "\" ,video-width=320,video-height=240, track=2, fps=23.976\r\n",
         "is no text subtitle track"},
    };
    for (const auto& [meta, message] : rows) {
        for (const std::string& out : {F("refused.m2ts"), F("refused")}) {
            const auto run = TsMuxer(Meta("MUXOPT --blu-ray\r\n" + meta), out);
            EXPECT_EQ(run.exitCode, 1) << meta;
            EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
            EXPECT_FALSE(fs::exists(out));
            EXPECT_FALSE(fs::exists(out + ".partial"));
        }
    }
}

}  // namespace
}  // namespace kestrun::test
