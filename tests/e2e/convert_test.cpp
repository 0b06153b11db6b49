// kestrun-cli convert on generated MKVs with each audio format, for each platform, checked with
// ffprobe: what a console needs (H.264 at level 4.1, AAC-LC), every frame and the whole length
// kept, the source untouched and no intermediate file left behind.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <ostream>
#include <tuple>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

constexpr double kDurationTolerance = 0.2;

struct Platform {
    std::string option;
    std::string name;
    bool stereo;
};

const AudioKind kAudioKinds[] = {
    {"Ac3_51", {"-c:a", "ac3", "-b:a", "384k"}, 6},
    {"Aac_51", {"-c:a", "aac", "-b:a", "256k"}, 6},
    {"Aac_Stereo", {"-c:a", "aac", "-b:a", "128k"}, 2},
    {"Mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 2},
    {"Mp2", {"-c:a", "mp2", "-b:a", "192k"}, 2},
    {"Vorbis", {"-c:a", "libvorbis"}, 2},
    {"Dts_51", {"-c:a", "dca", "-strict", "-2"}, 6},
};

const Platform kPlatforms[] = {
    {"ps3", "Ps3", false},
    {"xbox360", "Xbox360", true},
    {"ps3-stereo", "Ps3Stereo", true},
};

// A short name in test listings instead of the bytes of the structure.
void PrintTo(const Platform& platform, std::ostream* os) { *os << platform.option; }

// AAC goes into the MP4 as extracted on both PS3 targets (it is already what the PS3 plays);
// every other format, and AAC for the Xbox 360, is encoded with the platform's channel count.
int ExpectedChannels(const AudioKind& audio, const Platform& platform) {
    const bool aac = audio.name.rfind("Aac", 0) == 0;
    if (aac && platform.option != "xbox360") return audio.channels;
    return platform.stereo ? 2 : 6;
}

// What every successful conversion must give; `expectedName` is the MP4's file name.
void ExpectPlayableConversion(const fs::path& source, const fs::path& out,
                              const std::string& expectedName, const ProgramRun& run,
                              int expectedChannels) {
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path mp4 = out / expectedName;
    EXPECT_NE(run.out.find(mp4.string()), std::string::npos) << run.out;
    ASSERT_TRUE(fs::is_regular_file(mp4)) << run.err;
    ASSERT_GT(fs::file_size(mp4), 0u);

    const MediaFacts in = Probe(source.string());
    const MediaFacts got = Probe(mp4.string());
    const auto video = got.OfType("video");
    const auto audio = got.OfType("audio");
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(audio.size(), 1u);
    ASSERT_EQ(got.streams.size(), 2u);

    EXPECT_EQ(video[0].codec, "h264");
    EXPECT_EQ(video[0].profile, "High");
    EXPECT_EQ(video[0].level, 41);
    EXPECT_EQ(video[0].avgFrameRate, "24000/1001");
    ASSERT_TRUE(video[0].framesDecoded.has_value());
    EXPECT_EQ(video[0].framesDecoded, in.OfType("video").at(0).framesDecoded);

    EXPECT_EQ(audio[0].codec, "aac");
    EXPECT_EQ(audio[0].profile, "LC");
    EXPECT_EQ(audio[0].channels, expectedChannels);

    EXPECT_NEAR(got.duration, in.duration, kDurationTolerance);
    ASSERT_TRUE(video[0].duration && audio[0].duration);
    EXPECT_NEAR(*video[0].duration, in.duration, kDurationTolerance);
    EXPECT_NEAR(*audio[0].duration, in.duration, kDurationTolerance);
}

class ConvertTest : public ::testing::TestWithParam<std::tuple<AudioKind, Platform>> {};

TEST_P(ConvertTest, GivesAConsoleReadyMp4AndLeavesOnlyIt) {
    const auto& [audio, platform] = GetParam();
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path sources = temp.path() / "sources";
    const fs::path out = temp.path() / "out";
    fs::create_directories(sources);
    fs::create_directories(out);
    const fs::path source = sources / "Sample.mkv";
    MakeMkv(source.string(), audio.encoder, audio.channels);
    const std::string bystander = temp.Write("out/notes.txt", "not ours");
    const std::string before = Fingerprint(source.string());

    const ProgramRun run = RunProgram({program.Cli(), "convert", "--out", out.string(),
                                       "--platform", platform.option, source.string()});

    ExpectPlayableConversion(source, out, "Sample.mp4", run, ExpectedChannels(audio, platform));
    EXPECT_EQ(Fingerprint(source.string()), before);
    EXPECT_EQ(FolderNames(sources), std::vector<std::string>{"Sample.mkv"});
    // Only the result and what was there before: no movie.* file, no muxer temporaries.
    EXPECT_EQ(FolderNames(out), (std::vector<std::string>{"Sample.mp4", "notes.txt"}));
    EXPECT_EQ(test::ReadWholeFile(bystander), "not ours");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ConvertTest,
                         ::testing::Combine(::testing::ValuesIn(kAudioKinds),
                                            ::testing::ValuesIn(kPlatforms)),
                         [](const auto& info) {
                             return std::get<0>(info.param).name + "_" +
                                    std::get<1>(info.param).name;
                         });

// Blanks, an apostrophe, letters outside ASCII and further dots, in the source's folder and
// name and in the output folder: the tools get them through quoted command lines, and the MP4
// takes the base name with its dots made underscores.
TEST(ConvertPaths, AwkwardNamesSurviveTheWholeChain) {
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path sources = temp.path() / "Films d'été à voir";
    const fs::path out = temp.path() / "Sortie Ölçü 'ok'";
    fs::create_directories(sources);
    fs::create_directories(out);
    const fs::path source = sources / "L'été de Zoë.2008.mkv";
    MakeMkv(source.string(), {"-c:a", "ac3", "-b:a", "384k"}, 6);
    const std::string before = Fingerprint(source.string());

    const ProgramRun run =
        RunProgram({program.Cli(), "convert", "--out", out.string(), source.string()});

    ExpectPlayableConversion(source, out, "L'été de Zoë_2008.mp4", run, 6);
    EXPECT_EQ(Fingerprint(source.string()), before);
    EXPECT_EQ(FolderNames(out), std::vector<std::string>{"L'été de Zoë_2008.mp4"});
}

// A picture with non-square pixels keeps its display shape: the MP4 declares the pixel aspect.
TEST(ConvertPaths, AnamorphicPictureKeepsItsDisplayAspect) {
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path source = temp.path() / "Wide.mkv";
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    MakeMkv(source.string(), {"-c:a", "ac3", "-b:a", "384k"}, 6, {"-aspect", "16:9"});

    const ProgramRun run = RunProgram({program.Cli(), "convert", "--out", out.string(),
                                       "--platform", "xbox360", source.string()});

    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaFacts got = Probe((out / "Wide.mp4").string());
    ASSERT_EQ(got.OfType("video").size(), 1u);
    // The MKV stores a whole display width (427 for 320 * 4/3), so 16:9 is met to a pixel.
    const std::string aspect = got.OfType("video")[0].displayAspect;
    const size_t colon = aspect.find(':');
    ASSERT_NE(colon, std::string::npos) << aspect;
    EXPECT_NEAR(std::stod(aspect.substr(0, colon)) / std::stod(aspect.substr(colon + 1)),
                16.0 / 9.0, 0.01)
        << aspect;
}

}  // namespace
}  // namespace kestrun::e2e

namespace kestrun::e2e {
namespace {

// An AVI muxed by mkvmerge keeps its video in VFW mode: MP4Box takes the raw stream out of the
// AVI, and the MP3 beside it is read like any MKV's audio. H.264 (kept in VFW mode on request)
// and MPEG-4 Part 2 both end in an MP4 with every frame and the sound, re-encoded to H.264 too.
TEST(ConvertPaths, VfwModeVideoGoesThroughTheMp4Chain) {
    const struct {
        std::vector<std::string> video;
        std::vector<std::string> mkvmerge;
        std::string codec;
        std::vector<std::string> options;
    } cases[] = {
        {{"-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset", "ultrafast"},
         {"--engage", "allow_avc_in_vfw_mode"},
         "h264",
         {}},
        {{"-c:v", "mpeg4", "-vtag", "XVID"}, {}, "mpeg4", {}},
        {{"-c:v", "mpeg4", "-vtag", "XVID"}, {}, "h264", {"--recode", "h264"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec + (c.options.empty() ? "" : " re-encoded"));
        test::TempFolder temp("kestrun-e2e");
        const ProgramFolderCopy program(temp.path());
        const fs::path out = temp.path() / "out";
        fs::create_directories(out);
        std::vector<std::string> args = PictureInput("320x240");
        for (const auto& part : {ToneInput(2, 2), std::vector<std::string>{"-t", "2"}, c.video,
                                 std::vector<std::string>{"-c:a", "libmp3lame", "-b:a", "128k"}})
            args.insert(args.end(), part.begin(), part.end());
        const std::string avi = test::FfmpegSample(args, "avi");
        const std::string vfw = test::CachedSample("VFW mode from " + avi, "mkv", [&](auto& path) {
            std::vector<std::string> merge = {"-o", path};
            merge.insert(merge.end(), c.mkvmerge.begin(), c.mkvmerge.end());
            merge.push_back(avi);
            test::Mkvmerge(merge);
        });
        const std::string mkv = (temp.path() / "Film.mkv").string();
        fs::copy_file(vfw, mkv);

        std::vector<std::string> command = {program.Cli(), "convert", "--out", out.string()};
        command.insert(command.end(), c.options.begin(), c.options.end());
        command.push_back(mkv);
        const ProgramRun run = RunProgram(command);

        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(FolderNames(out), std::vector<std::string>{"Film.mp4"});
        const MediaFacts got = Probe((out / "Film.mp4").string());
        ASSERT_EQ(got.OfType("video").size(), 1u);
        ASSERT_EQ(got.OfType("audio").size(), 1u);
        EXPECT_EQ(got.OfType("video")[0].codec, c.codec);
        EXPECT_EQ(got.OfType("video")[0].framesDecoded, 48);
        EXPECT_NEAR(got.OfType("audio")[0].duration.value_or(0), 2.0, kDurationTolerance);
    }
}

}  // namespace
}  // namespace kestrun::e2e
