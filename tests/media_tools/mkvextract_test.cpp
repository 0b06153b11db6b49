// MKVToolnix/mkvextract: the legacy command lines, with tracks named by their Matroska number.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "media_tools/media_test_support.h"
#include "media_tools/samples.h"

namespace media_test {
namespace {

const std::string kMkvextract = "MKVToolnix/mkvextract";

class MkvextractTest : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = RenumberedMkv();
        ASSERT_TRUE(FileExists(source_));
        out_ = WorkFolder() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directory(out_);
    }
    void TearDown() override { std::filesystem::remove_all(out_); }

    std::string Out(const std::string& name) const { return out_ + "/" + name; }

    ProgramRun Extract(std::vector<std::string> args) const {
        args.insert(args.begin(), {BuiltTool(kMkvextract), "tracks", source_});
        return RunProgram(args);
    }

    std::string source_;
    std::string out_;
};

TEST_F(MkvextractTest, ExtractsTracksByTheirMatroskaNumberNotByPosition) {
    // The general extraction of the MP4 chain (video and AAC) and of the re-encode chains (AC-3
    // and a subtitle piece; an ASS track keeps its format): numbers 9, 7, 5, 2 and 3 are the IDs
    // 2, 0, 4, 3 and 1.
    const auto result =
        Extract({"9:" + Out("movie.h264"), "7:" + Out("movie.aac"), "5:" + Out("movie.ac3"),
                 "2:" + Out("movie.srt"), "3:" + Out("movie.ASS")});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    EXPECT_EQ(Probe(Out("movie.h264"), "v")["codec_name"], "h264");
    auto aac = Probe(Out("movie.aac"));
    EXPECT_EQ(aac["codec_name"], "aac");
    EXPECT_EQ(aac["format_name"], "aac");  // ADTS
    EXPECT_EQ(Number(aac, "channels"), 2);
    auto ac3 = Probe(Out("movie.ac3"));
    EXPECT_EQ(ac3["codec_name"], "ac3");
    EXPECT_EQ(Number(ac3, "channels"), 6);
    EXPECT_EQ(Probe(Out("movie.srt"), "s")["codec_name"], "subrip");
    EXPECT_EQ(Probe(Out("movie.ASS"), "s")["codec_name"], "ass");
}

TEST_F(MkvextractTest, H264TrackBecomesAnnexBStreamWithEveryFrame) {
    const auto result = Extract({"9:" + Out("movie.h264")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto bytes = ReadBytes(Out("movie.h264"));
    ASSERT_GE(bytes.size(), 5u);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 1);
    EXPECT_EQ(bytes[4] & 0x1F, 7);  // the stream opens with its sequence parameter set
    auto video = Probe(Out("movie.h264"), "v", true);
    EXPECT_EQ(Number(video, "nb_read_frames"), kVideoFrames);
    EXPECT_GT(Number(video, "has_b_frames"), 0);
}

TEST_F(MkvextractTest, TimecodesModeUsesTheSameNumbers) {
    const auto result =
        RunProgram({BuiltTool(kMkvextract), "timecodes_v2", source_, "9:" + Out("t.txt")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto text = ReadBytes(Out("t.txt"));
    const std::string content(text.begin(), text.end());
    EXPECT_EQ(content.rfind("# timestamp format v2", 0), 0u) << content;
    // A header line, one line per video frame, and mkvextract may close with the end time.
    const auto lines = std::count(content.begin(), content.end(), '\n');
    EXPECT_GE(lines, kVideoFrames + 1);
    EXPECT_LE(lines, kVideoFrames + 2);
}

TEST_F(MkvextractTest, UnknownTrackNumberIsRefusedAndNothingIsWritten) {
    // Number 1 is the ID of a real track (the ASS track) but no track carries the number 1.
    for (const std::string number : {"1", "4", "0", "10"}) {
        const auto result = Extract({"9:" + Out("movie.h264"), number + ":" + Out("x.ac3")});
        EXPECT_EQ(result.exitCode, 2) << number;
        EXPECT_NE(result.err.find("no track number " + number), std::string::npos) << result.err;
        EXPECT_TRUE(FolderNames(out_).empty()) << number;
    }
}

TEST_F(MkvextractTest, BadSourcesGetAClearMessage) {
    const std::string empty = Out("empty.mkv");
    WriteText(empty, "");
    const std::string text = Out("not a film.mkv");
    WriteText(text, "this is not a Matroska file\n");
    const std::string missing = Out("missing.mkv");
    const std::map<std::string, std::string> expected = {{empty, "input file is empty"},
                                                         {text, "unrecognised or damaged file"},
                                                         {missing, "input file does not exist"}};
    for (const auto& [source, message] : expected) {
        const auto result =
            RunProgram({BuiltTool(kMkvextract), "tracks", source, "1:" + Out("movie.h264")});
        EXPECT_EQ(result.exitCode, 2) << source;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_FALSE(FileExists(Out("movie.h264")));
    }
}

TEST_F(MkvextractTest, TruncatedSourceGivesWhatItHolds) {
    const auto whole = ReadBytes(source_);
    const std::string truncated = Out("cut off.mkv");
    WriteText(truncated, std::string(whole.begin(), whole.begin() + whole.size() / 2));
    const auto result =
        RunProgram({BuiltTool(kMkvextract), "tracks", truncated, "9:" + Out("movie.h264")});
    ASSERT_LE(result.exitCode, 1) << result.err;
    const double frames = Number(Probe(Out("movie.h264"), "v", true), "nb_read_frames");
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, kVideoFrames);
}

TEST_F(MkvextractTest, FailedWritesAreReportedAndLeaveNoHalfFile) {
    const auto full = Extract({"9:/dev/full"});
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_NE(full.err.find("failed"), std::string::npos) << full.err;

    const std::string noFolder = Out("no such folder") + "/movie.h264";
    const auto missing = Extract({"9:" + noFolder});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("output folder does not exist"), std::string::npos);
    EXPECT_FALSE(FileExists(Out("no such folder")));  // today's mkvextract would create it

    const auto onto = Extract({"9:" + source_});
    EXPECT_EQ(onto.exitCode, 2);
    EXPECT_GT(FileSize(source_), 0);
    EXPECT_EQ(Probe(source_, "v")["codec_name"], "h264");
}

TEST_F(MkvextractTest, MalformedCommandLinesAreRefused) {
    EXPECT_EQ(RunProgram({BuiltTool(kMkvextract)}).exitCode, 2);
    EXPECT_EQ(RunProgram({BuiltTool(kMkvextract), "tracks", source_}).exitCode, 2);
    EXPECT_EQ(RunProgram({BuiltTool(kMkvextract), "tracks", source_, "video.h264"}).exitCode, 2);
    EXPECT_EQ(
        RunProgram({BuiltTool(kMkvextract), source_, "tracks", "9:" + Out("a.h264")}).exitCode, 2);
    EXPECT_TRUE(FolderNames(out_).empty());
}

}  // namespace
}  // namespace media_test

namespace media_test {
namespace {

TEST_F(MkvextractTest, PictureSubtitleTracksGiveFilesFfmpegReads) {
    const std::string tool = BuiltTool(kMkvextract);
    auto run = RunProgram({tool, "tracks", PictureSubtitleMkv("pgs"), "2:" + Out("movie.sup")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto pgs =
        kestrun::test::ProbeFields(Out("movie.sup"), "s:0", "stream=codec_name,width,start_time");
    EXPECT_EQ(pgs.at("codec_name"), "hdmv_pgs_subtitle");
    EXPECT_EQ(pgs.at("width"), "640");
    EXPECT_EQ(pgs.at("start_time"), "1.000000");  // the MKV's own time of the first cue

    // VobSub: NAME.idx and NAME.sub whatever extension is named; the named file may be replaced,
    // its companion only when the run makes it.
    struct Case {
        std::string target;
        std::vector<std::pair<std::string, std::string>> before;  // files there beforehand
        int exitCode;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"movie.idx", {}, 0, {"movie.idx", "movie.sub"}},
        {"movie.idx", {{"movie.idx", "old"}}, 0, {"movie.idx", "movie.sub"}},
        {"Movie.IDX", {}, 0, {"Movie.idx", "Movie.sub"}},
        {"movie", {}, 0, {"movie.idx", "movie.sub"}},
        {"movie.idx", {{"movie.sub", "a user's text subtitles"}}, 2, {"movie.sub"}},
        {"movie.sub", {{"movie.idx", "a user's index"}}, 2, {"movie.idx"}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(out_);
        std::filesystem::create_directory(out_);
        for (const auto& [name, text] : c.before) WriteText(Out(name), text);
        run = RunProgram({tool, "tracks", PictureSubtitleMkv("vobsub"), "2:" + Out(c.target)});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.target << run.err;
        EXPECT_EQ(FolderNames(out_), c.after) << c.target;
        if (c.exitCode == 0) {
            const std::string index = Out(c.after[0]);
            EXPECT_EQ(Probe(index, "s")["codec_name"], "dvd_subtitle") << c.target;
            continue;
        }
        const auto& [name, text] = c.before[0];
        EXPECT_NE(run.err.find(Out(name) + " already exists; nothing was extracted"),
                  std::string::npos)
            << run.err;
        const auto kept = ReadBytes(Out(name));
        EXPECT_EQ(std::string(kept.begin(), kept.end()), text);
    }
}

}  // namespace
}  // namespace media_test
