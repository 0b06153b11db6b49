// FFMpeg/FFmpeg: the 2008 FFmpeg command lines of the conversion chains, run on FFmpeg 5.1.
#include <gtest/gtest.h>

#include <filesystem>

#include "ffmpeg/legacy_ffmpeg_args.h"
#include "media_tools/media_test_support.h"
#include "media_tools/samples.h"

namespace media_test {
namespace {

const std::string kFfmpeg = "FFMpeg/FFmpeg";

class FfmpegStandInTest : public StagedAudioTest {
protected:
    ProgramRun Legacy(std::vector<std::string> args) {
        args.insert(args.begin(), BuiltTool(kFfmpeg));
        return RunProgram(args);
    }
};

// "-f FMT -i movie.FMT -acodec libfaac -ac N -ab 224kb movie.aac" for each extracted format, and
// " -f wav -i movie.wav": ADTS AAC-LC with the asked channel count, at most 224 kbit/s, and the
// length of the source.
TEST_F(FfmpegStandInTest, EncodesEveryAudioFormatToAacLc) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ac3", "6"}, {"ac3", "2"}, {"dts", "6"}, {"mp3", "2"},
        {"mp2", "2"}, {"ogg", "2"}, {"wav", "6"}, {"wav", "2"}};
    for (const auto& [format, channels] : cases) {
        SCOPED_TRACE(format + " to " + channels + " channels");
        const std::string input = Stage(format, "movie." + format);
        const std::string output = In("movie.aac");
        const auto result = Legacy({"-f", format, "-i", input, "-acodec", "libfaac", "-ac",
                                    channels, "-ab", "224kb", output});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        auto aac = Probe(output);
        EXPECT_EQ(aac["codec_name"], "aac");
        EXPECT_EQ(aac["profile"], "LC");
        EXPECT_EQ(aac["format_name"], "aac");  // ADTS frames, as MP4Box imports them
        EXPECT_EQ(aac["channels"], channels);
        EXPECT_NEAR(Number(aac, "duration"), 1.0, 0.15);
        // A pure tone needs far less than the target (the fast coder spends little on it);
        // "224kb" read as kilobytes would give 1.8 Mbit/s, read as bits almost nothing.
        EXPECT_GT(Number(aac, "bit_rate"), 32000);
        EXPECT_LT(Number(aac, "bit_rate"), 240000);
        std::filesystem::remove(input);
        std::filesystem::remove(output);
    }
}

TEST_F(FfmpegStandInTest, DecodesToSixteenBitWav) {
    // "FFmpeg AAC to WAV" and "FFmpeg MPEG audio to WAV"; the latter names its input with a blank
    // before the closing quote ("movie.mp3 "), which the old platform did not keep.
    const std::string aac = Stage("aac", "movie.aac");
    const std::string mp2 = Stage("mp2", "movie.mp2");
    for (const auto& input : {aac, mp2 + " "}) {
        const auto result = Legacy({"-i", input, "-acodec", "pcm_s16le", In("movie.wav")});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        auto wav = Probe(In("movie.wav"));
        EXPECT_EQ(wav["codec_name"], "pcm_s16le");
        EXPECT_NEAR(Number(wav, "duration"), 1.0, 0.1);
    }
}

TEST_F(FfmpegStandInTest, WavToWmaForTheVc1Chain) {
    const std::string wav = Stage("wav", "movie.wav");
    const auto result =
        Legacy({"-i", wav, "-acodec", "wmav2", "-ab", "192000", "-ac", "2", In("movie.wma")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto wma = Probe(In("movie.wma"));
    EXPECT_EQ(wma["codec_name"], "wmav2");
    EXPECT_EQ(Number(wma, "channels"), 2);
}

TEST_F(FfmpegStandInTest, RepacksMpeg2MkvToVobOverAnOlderOutput) {
    const std::string source = In("film 'one'.mkv");
    ASSERT_NO_THROW(
        Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=128x96:rate=25:duration=1", "-f", "lavfi", "-i",
                "sine=duration=1:sample_rate=48000", "-c:v", "mpeg2video", "-c:a", "ac3", source}));
    const std::string output = In("film 'one'.mpg");
    WriteText(output, "an older output");
    const auto result = Legacy({"-threads", "4", "-i", source, "-vcodec", "copy", "-acodec", "copy",
                                "-f", "vob", "-copyts", "-y", output, "-bug", "ms"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Probe(output, "v")["codec_name"], "mpeg2video");
    EXPECT_EQ(Probe(output, "a")["codec_name"], "ac3");
    EXPECT_EQ(Probe(output, "a")["format_name"], "mpeg");
    EXPECT_EQ(Number(Probe(output, "v", true), "nb_read_frames"), 25);
}

TEST_F(FfmpegStandInTest, BadInputsFailClearlyAndLeaveNoOutput) {
    const std::string empty = In("empty.ac3");
    WriteText(empty, "");
    const std::string garbage = In("garbage.ac3");
    WriteText(garbage, std::string(4096, '\x5a'));
    const std::map<std::string, std::string> expected = {
        {empty, "input file is empty"},
        {garbage, "failed"},
        {In("missing.ac3"), "input file does not exist"}};
    for (const auto& [input, message] : expected) {
        const auto result = Legacy({"-f", "ac3", "-i", input, "-acodec", "libfaac", "-ac", "2",
                                    "-ab", "224kb", In("movie.aac")});
        EXPECT_NE(result.exitCode, 0) << input;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_FALSE(FileExists(In("movie.aac"))) << input;
    }
}

TEST_F(FfmpegStandInTest, NeverOverwritesItsInputOrWritesHalfFiles) {
    // "Safe Sync" with AAC audio names movie.aac as input and output.
    const std::string aac = Stage("aac", "movie.aac");
    const auto before = ReadBytes(aac);
    const auto same =
        Legacy({"-f", "aac", "-i", aac, "-acodec", "libfaac", "-ac", "2", "-ab", "224kb", aac});
    EXPECT_NE(same.exitCode, 0);
    EXPECT_NE(same.err.find("overwrite its own input"), std::string::npos);
    EXPECT_EQ(ReadBytes(aac), before);

    const auto full = Legacy({"-i", aac, "-acodec", "pcm_s16le", "-f", "wav", "/dev/full"});
    EXPECT_NE(full.exitCode, 0);
    EXPECT_NE(full.err.find("failed"), std::string::npos);

    const auto noFolder = Legacy({"-i", aac, "-acodec", "pcm_s16le", In("gone") + "/movie.wav"});
    EXPECT_NE(noFolder.exitCode, 0);
    EXPECT_NE(noFolder.err.find("output folder does not exist"), std::string::npos);
}

TEST(FfmpegTranslation, RewritesOldSpellingsAndKeepsTheRest) {
    const auto call = standin::TranslateLegacyFfmpegArgs(
        {"-threads", "4",       "-f",       "mp2",   "-i",    "in.mp2",  "-acodec",
         "libfaac",  "-ac",     "6",        "-ab",   "224kb", "-vcodec", "copy",
         "-b",       "2000kb",  "-maxrate", "9.5Mb", "-vol",  "300",     "-copyts",
         "-y",       "out.aac", "-bug",     "ms"});
    EXPECT_EQ(call.args, (std::vector<std::string>{
                             "-threads", "4",    "-f",         "mp3",  "-i",      "in.mp2",
                             "-c:a",     "aac",  "-aac_coder", "fast", "-ac",     "6",
                             "-b:a",     "224k", "-c:v",       "copy", "-b:v",    "2000k",
                             "-maxrate", "9.5m", "-vol",       "300",  "-copyts", "out.aac"}));
    EXPECT_EQ(call.inputs, std::vector<std::string>{"in.mp2"});
    EXPECT_EQ(call.outputs, std::vector<std::string>{"out.aac"});
}

TEST(FfmpegTranslation, OutputFormatsAndNonFileInputsStayAsTheyAre) {
    const auto call = standin::TranslateLegacyFfmpegArgs(
        {"-f", "lavfi", "-i", "sine", "-i", "a.wav", "-f", "mp2", "-ab", "192000", "o.mp2"});
    EXPECT_EQ(call.args, (std::vector<std::string>{"-f", "lavfi", "-i", "sine", "-i", "a.wav", "-f",
                                                   "mp2", "-b:a", "192000", "o.mp2"}));
    EXPECT_EQ(call.inputs, std::vector<std::string>{"a.wav"});
}

}  // namespace
}  // namespace media_test
