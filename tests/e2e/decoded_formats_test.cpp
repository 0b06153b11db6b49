// Sources as they come today: audio that none of the six format buttons names (E-AC-3, TrueHD,
// FLAC, Opus, LPCM) is decoded in-process and encoded to AAC (MP4) or AC-3 (M2TS, AVCHD) with its
// channels kept as far as the target takes them; video no console decodes (HEVC, 10-bit H.264)
// is never copied.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

constexpr double kDurationTolerance = 0.2;

struct DecodedKind {
    AudioKind audio;
    int expectedChannels;  // 7.1 is mixed down to 5.1
};
void PrintTo(const DecodedKind& kind, std::ostream* os) { *os << kind.audio.name; }

const DecodedKind kDecodedKinds[] = {
    {{"Eac3_51", {"-c:a", "eac3", "-b:a", "384k"}, 6}, 6},
    {{"TrueHd_71", {"-c:a", "truehd", "-strict", "-2"}, 8}, 6},
    {{"Flac_Stereo", {"-c:a", "flac"}, 2}, 2},
    {{"Opus_Stereo", {"-c:a", "libopus", "-b:a", "96k"}, 2}, 2},
    {{"Pcm_Mono", {"-c:a", "pcm_s16le"}, 1}, 1},
};

struct Target {
    std::string name;
    std::vector<std::string> options;
    std::string codec;  // of the audio in the result
};
void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }

const Target kTargets[] = {
    {"Mp4", {}, "aac"},
    {"M2ts", {"--container", "m2ts"}, "ac3"},
    {"Avchd", {"--container", "avchd"}, "ac3"},
};

// The stream of the one result a conversion leaves in `out` (the MP4, the ".mpg", or the first
// stream file of the AVCHD folder); empty when anything else is left beside it.
fs::path OnlyResult(const fs::path& out) {
    const std::vector<std::string> names = FolderNames(out);
    if (names.size() != 1) return {};
    const fs::path result = out / names.front();
    return fs::is_directory(result) ? result / "BDMV" / "STREAM" / "00000.m2ts" : result;
}

class DecodedAudioTest : public ::testing::TestWithParam<std::tuple<DecodedKind, Target>> {};

TEST_P(DecodedAudioTest, ConvertsWithTheSourcesChannelsAndLength) {
    const auto& [kind, target] = GetParam();
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path source = temp.path() / "Today.mkv";
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    MakeMkv(source.string(), kind.audio.encoder, kind.audio.channels);

    std::vector<std::string> args = {program.Cli(), "convert", "--out", out.string()};
    args.insert(args.end(), target.options.begin(), target.options.end());
    args.push_back(source.string());
    const ProgramRun run = RunProgram(args);

    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path result = OnlyResult(out);  // no movie.* left behind
    ASSERT_FALSE(result.empty()) << testing::PrintToString(FolderNames(out));
    const MediaFacts in = Probe(source.string());
    const MediaFacts got = Probe(result.string());
    const auto audio = got.OfType("audio");
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].codec, target.codec);
    EXPECT_EQ(audio[0].channels, kind.expectedChannels);
    ASSERT_TRUE(audio[0].duration);
    EXPECT_NEAR(*audio[0].duration, in.duration, kDurationTolerance);
    ASSERT_EQ(got.OfType("video").size(), 1u);
    EXPECT_EQ(got.OfType("video")[0].codec, "h264");
}

INSTANTIATE_TEST_SUITE_P(TodaysFormats, DecodedAudioTest,
                         ::testing::Combine(::testing::ValuesIn(kDecodedKinds),
                                            ::testing::ValuesIn(kTargets)),
                         [](const auto& info) {
                             return std::get<0>(info.param).audio.name + "_" +
                                    std::get<1>(info.param).name;
                         });

// A 1 s MKV with the video options `video` and a 5.1 tone encoded as E-AC-3.
std::string UnplayableSource(const std::vector<std::string>& video) {
    std::vector<std::string> args = PictureInput("320x240");
    for (const auto& part :
         {ToneInput(6, 1), std::vector<std::string>{"-t", "1", "-map", "0:v", "-map", "1:a"}, video,
          std::vector<std::string>{"-c:a", "eac3", "-b:a", "384k"}})
        args.insert(args.end(), part.begin(), part.end());
    return test::FfmpegSample(args, "mkv");
}

const std::vector<std::string> kHevc = {"-c:v",      "libx265",      "-preset",
                                        "ultrafast", "-x265-params", "log-level=none"};
const std::vector<std::string> kHigh10 = {"-c:v",      "libx264",  "-preset",
                                          "ultrafast", "-pix_fmt", "yuv420p10le"};

// HEVC and High 10 sources come out re-encoded to what the consoles decode (MPEG-2, Xvid, or
// H.264 of 8-bit 4:2:0 pictures at High profile or lower), with their E-AC-3 as AAC or AC-3.
TEST(UnplayableVideo, ReencodesGivePlayableOutputs) {
    const struct {
        std::string name;
        std::vector<std::string> video;
        std::vector<std::string> options;
        std::string videoCodec, audioCodec;
        int channels;
        bool burnSubtitles = false;  // the encode FFmpeg does in place of MEncoder
    } cases[] = {
        {"Hevc_Mpeg2", kHevc, {}, "mpeg2video", "ac3", 6},  // the PS3's default re-encode
        {"High10_H264_Mp4", kHigh10, {"--recode", "h264"}, "h264", "aac", 6},
        {"Hevc_H264_Avchd", kHevc, {"--recode", "h264", "--container", "avchd"}, "h264", "ac3", 6},
        {"High10_Xvid", kHigh10, {"--recode", "xvid"}, "mpeg4", "ac3", 6},
        {"High10_H264_Subtitles", kHigh10, {"--recode", "h264"}, "h264", "aac", 6, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder temp("kestrun-e2e");
        const ProgramFolderCopy program(temp.path());
        const fs::path out = temp.path() / "out";
        fs::create_directories(out);
        const std::string source = UnplayableSource(c.video);
        std::vector<std::string> args = {program.Cli(), "convert", "--out", out.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (c.burnSubtitles)
            args.insert(args.end(), {"--subs-file", temp.Write("Film.srt",
                                                               "1\n00:00:00,000 --> "
                                                               "00:00:00,900\nHi\n\n")});
        args.push_back(source);

        const ProgramRun run = RunProgram(args);

        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("Only a re-encode can convert this source"), std::string::npos);
        const fs::path result = OnlyResult(out);
        ASSERT_FALSE(result.empty()) << testing::PrintToString(FolderNames(out));
        const MediaFacts got = Probe(result.string());
        ASSERT_EQ(got.OfType("video").size(), 1u);
        ASSERT_EQ(got.OfType("audio").size(), 1u);
        const StreamFacts video = got.OfType("video")[0];
        EXPECT_EQ(video.codec, c.videoCodec);
        const auto fields = test::ProbeFields(result.string(), "v:0", "stream=pix_fmt");
        EXPECT_EQ(fields.at("pix_fmt"), "yuv420p");
        if (c.videoCodec == "h264") {
            EXPECT_TRUE(video.profile == "High" || video.profile == "Main" ||
                        video.profile.find("Baseline") != std::string::npos)
                << video.profile;
            EXPECT_LE(video.level, 41);
            const ProgramRun check = RunProgram(
                {(program.path() / "Checker" / "x264_checker").string(), result.string()});
            EXPECT_NE(check.out.find("dpb check: [OK]"), std::string::npos) << check.out;
        }
        EXPECT_EQ(got.OfType("audio")[0].codec, c.audioCodec);
        EXPECT_EQ(got.OfType("audio")[0].channels, c.channels);
        EXPECT_NEAR(got.duration, Probe(source).duration, kDurationTolerance);
    }
}

// An HEVC source with the re-encode switched off: the CLI names the reason before it starts,
// and the conversion stops without touching the output folder rather than copy the stream.
TEST(UnplayableVideo, WithoutARecodeNothingIsCopied) {
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    std::vector<std::string> args = PictureInput("320x240");
    for (const auto& part :
         {ToneInput(2, 1),
          std::vector<std::string>{"-t", "1", "-c:v", "libx265", "-preset", "ultrafast",
                                   "-x265-params", "log-level=none", "-c:a", "ac3"}})
        args.insert(args.end(), part.begin(), part.end());
    const std::string source = test::FfmpegSample(args, "mkv");

    const ProgramRun run =
        RunProgram({program.Cli(), "convert", "--out", out.string(), "--recode", "none", source});

    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("Only a re-encode can convert this source: HEVC"), std::string::npos)
        << run.err;
    EXPECT_TRUE(FolderNames(out).empty()) << testing::PrintToString(FolderNames(out));
}

}  // namespace
}  // namespace kestrun::e2e
