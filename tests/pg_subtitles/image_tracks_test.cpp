// Image subtitle tracks of an MKV in tsMuxeR: a PGS track carried as it is and a VobSub track
// converted to PG, read back by FFmpeg and libbluray. The samples start from this program's own
// PG stream of an SRT: FFmpeg copies it out as a .sup and converts it to VobSub, mkvmerge muxes
// both into MKVs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/process.h"
#include "support/samples.h"
#include "support/subtitle_frames.h"
#include "support/temp_folder.h"
#include "tsmuxer/pg_copy.h"

namespace kestrun::test {
namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr const char* kSrt =
    "1\n00:00:01,000 --> 00:00:02,500\nFirst cue\nof two lines\n\n"
    "2\n00:00:04,000 --> 00:00:05,000\nSecond\n";

class ImageTracks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("kestrun-pg-images");
        SampleAt(SmallFilmArgs(), F("film.mkv"));
        SampleAt({"-f", "lavfi", "-i", "testsrc=size=1280x720:rate=25", "-t", "6", "-c:v",
                  "libx264", "-preset", "ultrafast", "-g", "25"},
                 F("hd.mkv"));
        const std::string meta = folder_->Write(
            "text.meta", "V_MPEG4/ISO/AVC, \"" + F("film.mkv") + "\", track=1, fps=25\r\n" +
                             "S_TEXT/UTF8, \"" + folder_->Write("film.srt", kSrt) +
                             "\", video-width=640,video-height=360, fps=25\r\n");
        const ProgramRun text = TsMuxer(meta, F("text.m2ts"));
        if (text.exitCode != 0) throw std::runtime_error(text.err);
        Ffmpeg({"-i", F("text.m2ts"), "-map", "0:v", "-map", "0:s", "-c", "copy", F("pg.mkv")});
        Ffmpeg({"-i", F("pg.mkv"), "-map", "0:s", "-c:s", "copy", "-f", "sup", F("film.sup")});
        Ffmpeg({"-fix_sub_duration", "-i", F("pg.mkv"), "-map", "0:s", "-c:s", "dvdsub", "-s",
                "640x360", F("dvd.mkv")});
        Mkvmerge({"-o", F("pgs.mkv"), F("film.mkv"), "--language", "0:ger", F("film.sup")});
        Mkvmerge({"-o", F("delayed.mkv"), "--sync", "0:2000", F("film.mkv"), F("film.sup")});
        Mkvmerge({"-o", F("vobsub.mkv"), F("hd.mkv"), "--language", "0:fre", F("dvd.mkv")});
        // The first display set's composition segment claims more bytes than its block holds.
        Bytes bytes = ReadBytes(F("pg.mkv"));
        const Bytes composition{0x16, 0x00, 0x13, 0x02, 0x80, 0x01, 0x68};
        const auto at =
            std::search(bytes.begin(), bytes.end(), composition.begin(), composition.end());
        if (at == bytes.end()) throw std::runtime_error("no composition segment in pg.mkv");
        at[1] = 0x40;
        WriteWholeFile(F("truncated.mkv"), std::string(bytes.begin(), bytes.end()));
    }
    static void TearDownTestSuite() { delete folder_; }

    static std::string F(const std::string& name) { return (*folder_) / name; }
    static ProgramRun TsMuxer(const std::string& meta, const std::string& out) {
        return RunProgram({BuiltTool("TS/tsmuxer"), meta, out});
    }
    // A meta file with the MKV's video and one subtitle line.
    static std::string Meta(const std::string& mkv, const std::string& subtitleLine) {
        static int count = 0;
        return folder_->Write("m" + std::to_string(++count) + ".meta",
                              "MUXOPT --blu-ray --auto-chapters=5\r\nV_MPEG4/ISO/AVC, \"" + mkv +
                                  "\", track=1, fps=25\r\n" + subtitleLine + "\r\n");
    }
    static std::string Line(const std::string& codec, const std::string& mkv, int width, int height,
                            const std::string& tail) {
        return codec + ", \"" + mkv + "\", video-width=" + std::to_string(width) +
               ",video-height=" + std::to_string(height) + tail;
    }

    static TempFolder* folder_;
};
TempFolder* ImageTracks::folder_ = nullptr;

// The segments of a .sup file with their times (90 kHz).
std::vector<std::pair<int64_t, Bytes>> SupSegments(const Bytes& sup) {
    std::vector<std::pair<int64_t, Bytes>> segments;
    for (size_t pos = 0; pos + 13 <= sup.size();) {
        const int64_t pts = (int64_t{sup[pos + 2]} << 24) | (sup[pos + 3] << 16) |
                            (sup[pos + 4] << 8) | sup[pos + 5];
        const size_t length = 3 + ((sup[pos + 11] << 8) | sup[pos + 12]);
        segments.emplace_back(pts, Bytes(sup.begin() + pos + 10, sup.begin() + pos + 10 + length));
        pos += 10 + length;
    }
    return segments;
}

TEST_F(ImageTracks, PgsSegmentsCopiedOntoTheVideosTimeline) {
    const auto sup = SupSegments(ReadBytes(F("film.sup")));
    ASSERT_EQ(sup.size(), 16u);
    // Moved by the start of the MKV's video. With the video delayed by 2 s the first cue (1 s to
    // 2.5 s) is on screen at the start: it shows from 0 until about 0.5 s.
    for (const char* mkv : {"pgs.mkv", "delayed.mkv"}) {
        const double start =
            std::stod(ProbeFields(F(mkv), "v:0", "stream=start_time").at("start_time"));
        const auto shift = static_cast<int64_t>(std::llround(start * 90000));
        const auto meta = standin::ts::ParseMetaFile(
            Line("S_HDMV/PGS", F(mkv), 640, 360, ", track=3, fps=25, lang=ger"));
        standin::ts::PgsTrackSource source(meta.tracks[0]);
        AVPacket* packet = av_packet_alloc();
        size_t i = 0;
        for (; source.Next(*packet); ++i) {
            ASSERT_LT(i, sup.size()) << mkv;
            EXPECT_EQ(packet->pts, std::max<int64_t>(0, sup[i].first - shift)) << mkv << i;
            EXPECT_EQ(Bytes(packet->data, packet->data + packet->size), sup[i].second) << mkv << i;
        }
        av_packet_free(&packet);
        EXPECT_EQ(i, sup.size()) << mkv;
    }
}

// Drawn at the first cue (1.5 s) and the second (4.5 s), not between (3.2 s); the first cue's
// box is returned.
PixelBox ShownBox(const std::string& m2ts) {
    const PixelBox box = DifferenceBox(FrameAt(m2ts, 1.5, false), FrameAt(m2ts, 1.5, true));
    EXPECT_FALSE(box.Empty()) << m2ts;
    EXPECT_TRUE(DifferenceBox(FrameAt(m2ts, 3.2, false), FrameAt(m2ts, 3.2, true)).Empty());
    EXPECT_FALSE(DifferenceBox(FrameAt(m2ts, 4.5, false), FrameAt(m2ts, 4.5, true)).Empty());
    return box;
}

TEST_F(ImageTracks, CarriedAsPgInStreamFileAndBluRayFolder) {
    const PixelBox text = ShownBox(F("text.m2ts"));
    struct Row {
        const char* codec;
        const char* mkv;
        const char* track;
        int width, height;
        const char* language;
        int scale;  // of the picture against the text's
    };
    const Row rows[] = {{"S_HDMV/PGS", "pgs.mkv", "3", 640, 360, "ger", 1},
                        {"S_VOBSUB", "vobsub.mkv", "2", 1280, 720, "fre", 2}};
    for (const Row& row : rows) {
        const std::string meta = Meta(F(row.mkv), Line(row.codec, F(row.mkv), row.width, row.height,
                                                       std::string(", track=") + row.track +
                                                           ", fps=25, lang= " + row.language));
        const std::string out = F(std::string(row.mkv) + ".m2ts"),
                          root = F(std::string(row.mkv) + ".disc");
        for (const std::string& target : {out, root}) {
            const ProgramRun run = TsMuxer(meta, target);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
        }
        const std::string titles = RunProgram({"/usr/bin/bd_list_titles", "-l", root}).out;
        EXPECT_NE(titles.find("PG:1"), std::string::npos) << titles;
        EXPECT_NE(titles.find(std::string("PG : ") + row.language), std::string::npos) << titles;
        EXPECT_EQ(ProbeFields(out, "s:0", "stream=id").at("id"), "0x1200");
        for (const std::string& m2ts : {out, root + "/BDMV/STREAM/00000.m2ts"}) {
            const PixelBox box = ShownBox(m2ts);
            const int slack = row.scale == 1 ? 0 : 4;
            EXPECT_NEAR(box.left, text.left * row.scale, slack) << m2ts;
            EXPECT_NEAR(box.top, text.top * row.scale, slack) << m2ts;
            EXPECT_NEAR(box.right, text.right * row.scale, slack) << m2ts;
            EXPECT_NEAR(box.bottom, text.bottom * row.scale, slack) << m2ts;
        }
    }
}

TEST_F(ImageTracks, BadTracksRefusedWithNothingWritten) {
    const std::pair<std::string, std::string> rows[] = {
        {Line("S_HDMV/PGS", F("truncated.mkv"), 640, 360, ", track=2"),
         "track 2 at 00:00:01.000: a PG segment of 16403 bytes at byte 0 runs past the end"},
        {Line("S_HDMV/PGS", F("pgs.mkv"), 640, 360, ", track=1"),
         "track 1 is no PGS subtitle track"},
        {Line("S_VOBSUB", F("pgs.mkv"), 640, 360, ", track=3"),
         "track 3 is no VobSub subtitle track"},
        {Line("S_HDMV/PGS", F("pgs.mkv"), 640, 360, ", track=9"), "has no track 9"},
        {Line("S_VOBSUB", F("vobsub.mkv"), 640, 360, ""), "needs track="},
    };
    for (const auto& [line, message] : rows) {
        const std::string meta = Meta(F("pgs.mkv"), line);
        for (const std::string& out : {F("refused.m2ts"), F("refused")}) {
            const ProgramRun run = TsMuxer(meta, out);
            EXPECT_EQ(run.exitCode, 1) << line;
            EXPECT_NE(run.err.find("meta file line 3: "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
            EXPECT_FALSE(fs::exists(out));
            EXPECT_FALSE(fs::exists(out + ".partial"));
        }
    }
}

}  // namespace
}  // namespace kestrun::test
