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
