// MP4Box: the command lines of the MP4 chain, and the MP4 files it writes, checked with ffprobe
// and by decoding every frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <tuple>

#include "common/raw_h264_source.h"
#include "common/video_timing.h"
#include "h264_tools/media_fixture.h"
#include "mp4box/container_source.h"
#include "mp4box/mp4_writer.h"
#include "mp4box/mp4box_command_line.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

TEST(Mp4BoxCommandLine, TheThreeMuxFormsAndTheAviRawForm) {
    // Form B, split as the tool runner splits its command string.
    auto command = standin::ParseMp4BoxCommand({"-add", "/w/movie.aac", "-add",
                                                "/w/movie.h264:fps=23.976:par=1920:1440",
                                                "/w/Film.mp4", "-tmp", "/w"});
    ASSERT_EQ(command.added.size(), 2u);
    EXPECT_EQ(command.added[0].path, "/w/movie.aac");
    EXPECT_EQ(command.added[1].path, "/w/movie.h264");
    EXPECT_EQ(command.added[1].fps, "23.976");
    ASSERT_TRUE(command.added[1].par.has_value());
    EXPECT_EQ(command.added[1].par->width, 1920);
    EXPECT_EQ(command.added[1].par->height, 1440);
    EXPECT_EQ(command.target, "/w/Film.mp4");
    EXPECT_EQ(command.tmpDir, "/w");

    // Forms A and C: a global frame rate; the work folder "/" gives an empty -tmp.
    command = standin::ParseMp4BoxCommand(
        {"-fps", "25.000", "-add", "/movie.h264", "/F.mp4", "-tmp", ""});
    EXPECT_EQ(command.fps, "25.000");
    EXPECT_FALSE(command.added[0].fps.has_value());
    EXPECT_EQ(command.tmpDir, "");

    command = standin::ParseMp4BoxCommand({"-aviraw", "video", "/w/movie.avi"});
    EXPECT_EQ(command.aviRawType, "video");
    EXPECT_EQ(command.target, "/w/movie.avi");
}

TEST(Mp4BoxCommandLine, OptionsAfterFileNamesAndMistakes) {
    using standin::ParseAddedFile;
    EXPECT_TRUE(ParseAddedFile("/w/a.h264:par=none").par->remove);
    EXPECT_THROW(ParseAddedFile("/w/a.h264:par=0:3"), std::invalid_argument);
    EXPECT_THROW(ParseAddedFile("/w/a.h264:par=4"), std::invalid_argument);
    EXPECT_EQ(ParseAddedFile("/w/movie.aac:delay=500").delayMs, 500);
    EXPECT_EQ(ParseAddedFile("/w/movie.aac:delay=-40").delayMs, -40);
    EXPECT_FALSE(ParseAddedFile("/w/movie.aac").delayMs);
    EXPECT_THROW(ParseAddedFile("/w/movie.aac:delay=0.5"), std::invalid_argument);
    // A colon in a folder name is not an option.
    EXPECT_EQ(ParseAddedFile("/w/Part: One/a.h264:fps=25").path, "/w/Part: One/a.h264");

    TempFolder folder("kestrun-mp4box-args");
    const std::string colonName = folder.Write("Film: the movie.h264", "x");
    EXPECT_EQ(ParseAddedFile(colonName).path, colonName);
    EXPECT_THROW(ParseAddedFile(colonName + ":lang=en"), std::invalid_argument);

    using standin::ParseMp4BoxCommand;
    EXPECT_THROW(ParseMp4BoxCommand({"-add", "a.h264"}), std::invalid_argument);
    EXPECT_THROW(ParseMp4BoxCommand({"-add", "a.h264", "x.mp4", "y.mp4"}), std::invalid_argument);
    EXPECT_THROW(ParseMp4BoxCommand({"-add"}), std::invalid_argument);
    EXPECT_THROW(ParseMp4BoxCommand({"-cat", "a.h264", "x.mp4"}), std::invalid_argument);
    EXPECT_THROW(ParseMp4BoxCommand({"-aviraw", "audio", "x.avi"}), std::invalid_argument);
    EXPECT_THROW(ParseMp4BoxCommand({"x.mp4"}), std::invalid_argument);
}

TEST(Mp4BoxFrameRate, NtscRatesAreExactAndOthersUseMilliseconds) {
    auto expectTiming = [](const std::string& text, int timescale, int duration) {
        const auto timing = standin::TimingForFrameRate(text);
        EXPECT_EQ(timing.timescale, timescale) << text;
        EXPECT_EQ(timing.frameDuration, duration) << text;
    };
    expectTiming("23.976", 24000, 1001);
    expectTiming("29.970", 30000, 1001);
    expectTiming("59.94", 60000, 1001);
    expectTiming("25.000", 25000, 1000);
    expectTiming("24", 24000, 1000);
    expectTiming("12.5", 12500, 1000);
    expectTiming("90000-3754", 90000, 3754);
    for (const char* bad : {"", "abc", "0", "-5", "25fps", "nan", "1e9", "-1001"})
        EXPECT_THROW(standin::TimingForFrameRate(bad), std::invalid_argument) << bad;
}

// A work folder with an awkward name, a source MKV and the streams the chain extracts from it.
class Mp4BoxMuxing : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(work_);
        SampleAt({"-f",      "lavfi",     "-i",           "testsrc2=size=320x240:rate=24000/1001",
                  "-f",      "lavfi",     "-i",           "sine=frequency=440:sample_rate=48000",
                  "-t",      "1",         "-c:v",         "libx264",
                  "-preset", "ultrafast", "-level",       "4.1",
                  "-bf",     "3",         "-x264-params", "b-pyramid=normal:keyint=10:b-adapt=0",
                  "-c:a",    "ac3"},
                 source_);
        const auto extracted =
            RunProgram({"/usr/bin/mkvextract", source_, "tracks", "0:" + work_ + "movie.h264"});
        ASSERT_EQ(extracted.exitCode, 0) << extracted.out;
        Ffmpeg({"-i", source_, "-vn", "-c:a", "aac", "-b:a", "96k", work_ + "movie.aac"});
    }

    ProgramRun Mp4Box(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {BuiltTool("MP4Box/MP4Box")};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv);
    }

    void ExpectNoPartialFiles() {
        for (const auto& entry : std::filesystem::directory_iterator(work_))
            EXPECT_FALSE(entry.path().string().ends_with(".partial")) << entry.path();
    }

    TempFolder folder_{"kestrun-mp4box"};
    std::string work_ = folder_.slash() + "Work folder 'n' Ünïcode/";
    std::string workNoSlash_ = work_.substr(0, work_.size() - 1);
    std::string source_ = folder_ / "Film.2008.mkv";
    std::string output_ = work_ + "Film_2008.mp4";
};

TEST_F(Mp4BoxMuxing, AudioAndVideoKeepEveryFrameInDisplayOrder) {
    const auto result = Mp4Box({"-add", work_ + "movie.aac", "-add",
                                work_ + "movie.h264:fps=23.976", output_, "-tmp", workNoSlash_});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    auto video = ProbeStream(output_, "v:0");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["level"], "41");
    EXPECT_EQ(video["nb_read_frames"], ProbeStream(source_, "v:0")["nb_read_frames"]);
    EXPECT_EQ(video["r_frame_rate"], "24000/1001");
    EXPECT_EQ(video["start_time"], "0.000000");
    auto audio = ProbeStream(output_, "a:0");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["profile"], "LC");

    const auto expected = DecodedFrameHashes(source_);
    EXPECT_EQ(expected.size(), 24u);
    EXPECT_EQ(DecodedFrameHashes(output_), expected);
    ExpectNoPartialFiles();
}

// The names of the file's top-level boxes, in order.
std::vector<std::string> TopLevelBoxes(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    std::vector<std::string> boxes;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        uint64_t size =
            uint64_t{bytes[at]} << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
        if (size == 1 && at + 16 <= bytes.size()) {
            size = 0;
            for (int i = 8; i < 16; ++i) size = size << 8 | bytes[at + i];
        }
        boxes.emplace_back(bytes.begin() + at + 4, bytes.begin() + at + 8);
        if (size < 8) break;
        at += size;
    }
    return boxes;
}

TEST_F(Mp4BoxMuxing, TheIndexComesFirstAlsoWhenItsRoomWasTooSmall) {
    const auto expected = DecodedFrameHashes(source_);
    // The estimate, and a room far too small, which costs one rewrite.
    for (const int64_t room : {int64_t{0}, int64_t{64}}) {
        std::filesystem::remove(output_);
        std::vector<std::unique_ptr<standin::PacketSource>> sources;
        sources.push_back(std::make_unique<standin::ContainerSource>(work_ + "movie.aac"));
        sources.push_back(
            std::make_unique<standin::RawH264Source>(work_ + "movie.h264", "23.976", std::nullopt));
        standin::WriteMp4(sources, output_, room);
        const auto boxes = TopLevelBoxes(output_);
        ASSERT_GE(boxes.size(), 3u) << room;
        EXPECT_EQ(boxes[0], "ftyp");
        EXPECT_EQ(boxes[1], "moov") << room;
        EXPECT_EQ(boxes.back(), "mdat") << room;
        EXPECT_EQ(DecodedFrameHashes(output_), expected) << room;
        EXPECT_EQ(ProbeStream(output_, "a:0")["codec_name"], "aac");
        ExpectNoPartialFiles();
    }
}

TEST_F(Mp4BoxMuxing, ADelayMovesTheAudioAgainstTheVideo) {
    const double audioSeconds = std::stod(ProbeStream(work_ + "movie.aac", "a:0")["duration"]);
    // A later start is kept as an edit before the audio; an earlier one leaves its head unplayed.
    for (const auto& [delay, start, cut] : {std::tuple{"500", 0.5, 0.0}, {"-200", 0.0, 0.2}}) {
        std::filesystem::remove(output_);
        const auto result = Mp4Box({"-add", work_ + "movie.aac:delay=" + delay, "-add",
                                    work_ + "movie.h264:fps=23.976", output_});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        auto audio = ProbeStream(output_, "a:0");
        EXPECT_NEAR(std::stod(audio["start_time"]), start, 0.001) << delay;
        EXPECT_NEAR(std::stod(audio["duration"]), audioSeconds - cut, 0.03) << delay;
        EXPECT_EQ(ProbeStream(output_, "v:0")["start_time"], "0.000000") << delay;
    }
}

TEST_F(Mp4BoxMuxing, VideoJoinsTheAudioAlreadyInTheMp4WithItsPixelAspect) {
    Ffmpeg({"-i", work_ + "movie.aac", "-c", "copy", output_});
    const auto result = Mp4Box({"-fps", "25.000", "-add", work_ + "movie.h264:par=1920:1440",
                                output_, "-tmp", workNoSlash_});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    EXPECT_EQ(ProbeStream(output_, "a:0")["codec_name"], "aac");
    auto video = ProbeStream(output_, "v:0");
    EXPECT_EQ(video["r_frame_rate"], "25/1");
    EXPECT_EQ(video["sample_aspect_ratio"], "4:3");
    EXPECT_EQ(video["nb_read_frames"], "24");
    EXPECT_EQ(DecodedFrameHashes(output_), DecodedFrameHashes(source_));
    ExpectNoPartialFiles();

    // -new starts the file afresh: the audio that was there is gone.
    ASSERT_EQ(Mp4Box({"-new", "-add", work_ + "movie.h264", output_}).exitCode, 0);
    EXPECT_TRUE(ProbeStream(output_, "a:0").empty());
    EXPECT_EQ(ProbeStream(output_, "v:0")["nb_read_frames"], "24");
}

TEST_F(Mp4BoxMuxing, RawVideoOutOfAnAviThenMuxed) {
    const std::string avi = work_ + "movie.avi";
    Ffmpeg({"-i", source_, "-an", "-c:v", "copy", "-bsf:v", "h264_mp4toannexb", avi});
    auto result = Mp4Box({"-aviraw", "video", avi});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string raw = work_ + "movie_video.h264";
    ASSERT_TRUE(std::filesystem::exists(raw));

    result = Mp4Box({"-fps", "23.976", "-add", raw, output_, "-tmp", workNoSlash_});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(DecodedFrameHashes(output_), DecodedFrameHashes(source_));
}

TEST_F(Mp4BoxMuxing, FailuresLeaveTheDestinationAsItWas) {
    Ffmpeg({"-i", work_ + "movie.aac", "-c", "copy", output_});
    const auto before = ReadBytes(output_);
    auto expectFailure = [&](const std::vector<std::string>& args, int exitCode) {
        const auto result = Mp4Box(args);
        EXPECT_EQ(result.exitCode, exitCode) << args.back();
        EXPECT_TRUE(result.err.starts_with("MP4Box: ")) << result.err;
        EXPECT_EQ(ReadBytes(output_), before);
    };
    const std::string empty = folder_.Write("empty.h264", "");
    const std::string text = folder_.Write("text.h264", "no video here\n");
    expectFailure({"-add", work_ + "missing.h264", output_}, 1);
    expectFailure({"-add", empty, output_}, 1);
    expectFailure({"-add", text, output_}, 1);
    expectFailure({"-add", work_ + "movie.h264:fps=fast", output_}, 1);
    expectFailure({"-add", work_ + "movie.h264", "-bogus", output_}, 2);
    expectFailure({"-aviraw", "video", work_ + "movie.h264"}, 1);
    EXPECT_EQ(Mp4Box({"-add", work_ + "movie.h264", folder_ / "no folder/out.mp4"}).exitCode, 1);

    // A disk that fills up: writes past a file size limit fail the same way.
    const auto full = RunProgram({"/usr/bin/prlimit", "--fsize=4096", BuiltTool("MP4Box/MP4Box"),
                                  "-add", work_ + "movie.h264", output_});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
    EXPECT_EQ(ReadBytes(output_), before);
    ExpectNoPartialFiles();
}

}  // namespace
}  // namespace kestrun::test
