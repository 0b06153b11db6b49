// The mkvinfo stand-in against real Matroska files made with FFmpeg and mkvmerge.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>

#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

// The lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Mkvinfo() { return BuiltTool("MKVToolnix/mkvinfo"); }

// The samples are made once for the whole suite.
class MkvinfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<TempFolder>();
        const TempFolder& f = *folder_;
        SampleAt({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=24000/1001", "-t", "0.5", "-c:v",
                  "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"},
                 f / "video.h264");
        SampleAt({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "0.5", "-c:a", "ac3"},
                 f / "audio.ac3");
        SampleAt({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "0.5", "-ac", "2", "-strict",
                  "-2", "-c:a", "dca"},
                 f / "audio.dts");
        WriteWholeFile(f / "subs.srt", "1\n00:00:00,000 --> 00:00:00,400\nHello\n");
        WriteWholeFile(f / "subs.ass",
                       "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, "
                       "Fontname, Fontsize\nStyle: Default,Arial,20\n\n[Events]\nFormat: Layer, "
                       "Start, End, Style, Text\nDialogue: 0,0:00:00.00,0:00:00.40,Default,Hi\n");
        Mkvmerge({"-o", f / "main.mkv", f / "video.h264", "--language", "0:eng", f / "audio.ac3",
                  "--language", "0:ger", f / "audio.ac3", "--language", "0:fre", f / "audio.dts",
                  "--language", "0:eng", f / "subs.srt", "--language", "0:und", f / "subs.ass"});
    }
    static void TearDownTestSuite() { folder_.reset(); }

    static ProgramRun Report(const std::string& source, const std::string& report) {
        return RunProgram({Mkvinfo(), source, "-o", report});
    }
    // Runs the stand-in and returns the report's lines; fails the test when it does not succeed.
    static std::vector<std::string> ReportLines(const std::string& source) {
        const std::string report = *folder_ / "info.txt";
        std::filesystem::remove(report);
        const ProgramRun run = Report(source, report);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return SplitLines(ReadWholeFile(report));
    }

    static std::unique_ptr<TempFolder> folder_;
};

std::unique_ptr<TempFolder> MkvinfoTest::folder_;

// The lines of the n-th track (from its "+ A track" line to the next track or the cluster).
std::vector<std::string> TrackLines(const std::vector<std::string>& lines, int n) {
    std::vector<std::string> track;
    int seen = 0;
    for (const std::string& line : lines) {
        if (line == "| + A track" || line == "|+ Cluster") ++seen;
        if (seen == n && line != "|+ Cluster") track.push_back(line);
    }
    return track;
}

ptrdiff_t IndexOf(const std::vector<std::string>& lines, const std::string& prefix) {
    const auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(prefix, 0) == 0;
    });
    return it == lines.end() ? -1 : it - lines.begin();
}

TEST_F(MkvinfoTest, ListsEveryTrackWithItsLinesInTheLegacyMuxerOrder) {
    const std::vector<std::string> lines = ReportLines(*folder_ / "main.mkv");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "| + A track"), 6);
    EXPECT_EQ(lines.front(), "+ EBML head");
    EXPECT_EQ(lines.back(), "|+ Cluster");

    const std::vector<std::string> video = TrackLines(lines, 1);
    const ptrdiff_t type = IndexOf(video, "|  + Track type: video");
    const ptrdiff_t codec = IndexOf(video, "|  + Codec ID: V_MPEG4/ISO/AVC");
    const ptrdiff_t duration =
        IndexOf(video, "|  + Default duration: 41.708ms (23.976 fps for a video track)");
    const ptrdiff_t language = IndexOf(video, "|  + Language: und");
    const ptrdiff_t width = IndexOf(video, "|   + Pixel width: 320");
    ASSERT_GE(type, 0);
    EXPECT_LT(type, codec);
    EXPECT_LT(codec, duration);
    EXPECT_LT(duration, language);
    EXPECT_LT(language, width);
    EXPECT_EQ(video.at(static_cast<size_t>(width) + 1), "|   + Pixel height: 240");
    EXPECT_GE(IndexOf(video, "|   + Display width: 320"), width);

    const std::vector<std::string> dts = TrackLines(lines, 4);
    EXPECT_GE(IndexOf(dts, "|  + Codec ID: A_DTS"), 0);
    EXPECT_GE(IndexOf(dts, "|  + Language: fre"), 0);
    const std::vector<std::string> srt = TrackLines(lines, 5);
    EXPECT_LT(IndexOf(srt, "|  + Track type: subtitles"),
              IndexOf(srt, "|  + Codec ID: S_TEXT/UTF8"));
    EXPECT_GE(IndexOf(srt, "|  + Language: eng"), 0);
    const std::vector<std::string> ass = TrackLines(lines, 6);
    EXPECT_GE(IndexOf(ass, "|  + Codec ID: S_TEXT/ASS"), 0);
    EXPECT_GE(IndexOf(ass, "|  + Language: und"), 0);
}

// The track parser cuts these lines at fixed character positions.
TEST_F(MkvinfoTest, KeyLinesHoldTheirValuesAtTheFixedCutPositions) {
    const std::vector<std::string> video = TrackLines(ReportLines(*folder_ / "main.mkv"), 1);
    const std::string fps = video.at(static_cast<size_t>(IndexOf(video, "|  + Default duration")));
    EXPECT_EQ(fps.substr(33, 6), "23.976");
    const size_t width = static_cast<size_t>(IndexOf(video, "|   + Pixel width"));
    EXPECT_EQ(video.at(width).substr(19), "320");
    EXPECT_EQ(video.at(width + 1).substr(19), " 240");
    EXPECT_EQ(video.at(static_cast<size_t>(IndexOf(video, "|   + Display width"))).substr(21),
              "320");
    const std::vector<std::string> german = TrackLines(ReportLines(*folder_ / "main.mkv"), 3);
    EXPECT_EQ(german.at(static_cast<size_t>(IndexOf(german, "|  + Language"))).substr(14), " ger");
}

TEST_F(MkvinfoTest, ReportsTheDisplayWidthInPixelsForStoredSizesAndAspectRatios) {
    const TempFolder& f = *folder_;
    SampleAt({"-f", "lavfi", "-i", "testsrc=size=1440x1080:rate=25", "-frames:v", "2", "-c:v",
              "mpeg2video"},
             f / "wide.m2v");
    Mkvmerge({"-o", f / "stored.mkv", "--display-dimensions", "0:1920x1080", f / "wide.m2v"});
    // FFmpeg's muxer stores a non-square pixel shape as an aspect ratio (unit 3, 16 x 9).
    SampleAt({"-f", "lavfi", "-i", "testsrc=size=1440x1080:rate=25", "-frames:v", "2", "-c:v",
              "mpeg2video", "-aspect", "16:9"},
             f / "ratio.mkv");
    for (const char* name : {"stored.mkv", "ratio.mkv"}) {
        const std::vector<std::string> video = TrackLines(ReportLines(f / name), 1);
        EXPECT_GE(IndexOf(video, "|  + Codec ID: V_MPEG2"), 0) << name;
        EXPECT_GE(IndexOf(video, "|   + Pixel width: 1440"), 0) << name;
        EXPECT_GE(IndexOf(video, "|   + Display width: 1920"), 0) << name;
        EXPECT_GE(IndexOf(video, "|   + Display height: 1080"), 0) << name;
    }
}

TEST_F(MkvinfoTest, VfwModeTrackCarriesTheFourCcAfterItsTrackType) {
    const TempFolder& f = *folder_;
    SampleAt({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25", "-t", "0.4", "-c:v", "libxvid",
              "-vtag", "XVID"},
             f / "xvid.avi");
    Mkvmerge({"-o", f / "vfw.mkv", f / "xvid.avi"});
    const std::vector<std::string> video = TrackLines(ReportLines(f / "vfw.mkv"), 1);
    const ptrdiff_t type = IndexOf(video, "|  + Track type: video");
    EXPECT_LT(type, IndexOf(video, "|  + Codec ID: V_MS/VFW/FOURCC"));
    EXPECT_GE(IndexOf(video, "|  + CodecPrivate, length 40 (FourCC: XVID, 0x44495658)"), 0);
    EXPECT_GE(IndexOf(video, "|  + Default duration: 40.000ms (25.000 fps for a video track)"), 0);
}

// Matroska defaults: no DefaultDuration (measured from the stream), no Language ("eng"),
// no DisplayWidth (the pixel width).
TEST_F(MkvinfoTest, PrintsTheDefaultsOfElementsTheFileLeavesOut) {
    const TempFolder& f = *folder_;
    std::filesystem::copy_file(f / "main.mkv", f / "bare.mkv");
    const ProgramRun edit =
        RunProgram({"/usr/bin/mkvpropedit", "-q", f / "bare.mkv", "--edit", "track:v1", "--delete",
                    "default-duration", "--delete", "display-width", "--delete", "display-height",
                    "--delete", "language", "--edit", "track:s1", "--delete", "language"});
    ASSERT_EQ(edit.exitCode, 0) << edit.out;
    const std::vector<std::string> lines = ReportLines(f / "bare.mkv");
    const std::vector<std::string> video = TrackLines(lines, 1);
    EXPECT_GE(IndexOf(video, "|  + Default duration: 41.708ms (23.976 fps for a video track)"), 0);
    EXPECT_GE(IndexOf(video, "|  + Language: eng"), 0);
    EXPECT_GE(IndexOf(video, "|   + Display width: 320"), 0);
    EXPECT_GE(IndexOf(TrackLines(lines, 5), "|  + Language: eng"), 0);
}

TEST_F(MkvinfoTest, UnreadableSourcesLeaveNoReportAndSayWhyOnStandardError) {
    const TempFolder& f = *folder_;
    WriteWholeFile(f / "empty.mkv", "");
    WriteWholeFile(f / "text.mkv", "This is not a video.\n");
    const std::string whole = ReadWholeFile(f / "main.mkv");
    WriteWholeFile(f / "cut.mkv", whole.substr(0, 200));
    for (const char* name : {"empty.mkv", "text.mkv", "cut.mkv", "missing.mkv"}) {
        const std::string report = f / "bad-info.txt";
        const ProgramRun run = Report(f / name, report);
        EXPECT_NE(run.exitCode, 0) << name;
        EXPECT_FALSE(std::filesystem::exists(report)) << name;
        EXPECT_FALSE(std::filesystem::exists(report + ".partial")) << name;
        EXPECT_EQ(run.err.rfind("mkvinfo: ", 0), 0u) << name << ": " << run.err;
    }
}

TEST_F(MkvinfoTest, TruncatedFileStillReportsTheTracksWhoseHeadersSurvive) {
    const TempFolder& f = *folder_;
    const std::string whole = ReadWholeFile(f / "main.mkv");
    WriteWholeFile(f / "half.mkv", whole.substr(0, whole.size() / 2));
    const std::vector<std::string> lines = ReportLines(f / "half.mkv");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "| + A track"), 6);
}

TEST_F(MkvinfoTest, HandlesPathsWithBlanksApostrophesAndNonAsciiLetters) {
    const TempFolder& f = *folder_;
    const std::string folder = f / "Film d'été – Ünïcødé";
    std::filesystem::create_directory(folder);
    const std::string source = folder + "/it's a film.mkv";
    std::filesystem::copy_file(f / "main.mkv", source);
    const std::string report = folder + "/info report.txt";
    const ProgramRun run = Report(source, report);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(ReadWholeFile(report));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "| + A track"), 6);
}

TEST_F(MkvinfoTest, RefusesCommandLinesOtherThanSourceAndReport) {
    const std::string source = *folder_ / "main.mkv";
    for (const std::vector<std::string>& argv :
         std::vector<std::vector<std::string>>{{Mkvinfo()},
                                               {Mkvinfo(), source, "-o"},
                                               {Mkvinfo(), source, "other.mkv", "-o", "x.txt"}}) {
        const ProgramRun run = RunProgram(argv);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("usage"), std::string::npos);
    }
}

}  // namespace
}  // namespace kestrun::test
