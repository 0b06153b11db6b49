// kestrun-cli convert to an M2TS stream (".mpg") and to an AVCHD folder, for each audio format,
// checked with ffprobe and libbluray's tools: H.264 at level 4.1, AC-3 (or the source's DTS)
// with every frame, the audio starting with the video, nothing else left in the folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

struct TsCase {
    AudioKind audio;
    std::string container;  // "m2ts" or "avchd"
};
void PrintTo(const TsCase& c, std::ostream* os) { *os << c.audio.name << "_" << c.container; }

const AudioKind kKinds[] = {
    {"Ac3", {"-c:a", "ac3", "-b:a", "384k"}, 6},
    {"Dts", {"-c:a", "dca", "-strict", "-2"}, 6},
    {"Aac", {"-c:a", "aac", "-b:a", "128k"}, 2},
    {"Vorbis", {"-c:a", "libvorbis"}, 2},
    {"Mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 2},
};

std::vector<TsCase> AllCases() {
    std::vector<TsCase> cases;
    for (const std::string container : {"m2ts", "avchd"})
        for (const AudioKind& kind : kKinds) cases.push_back({kind, container});
    return cases;
}

// The audio the console gets: the MKV's own AC-3, and DTS on the AVCHD chain; AC-3 otherwise.
std::string ExpectedAudioCodec(const TsCase& c) {
    if (c.audio.name == "Dts" && c.container == "avchd") return "dts";
    return "ac3";
}

class TsChains : public ::testing::TestWithParam<TsCase> {};

TEST_P(TsChains, ConsoleReadyStream) {
    const TsCase& c = GetParam();
    test::TempFolder temp("kestrun-e2e-ts");
    const ProgramFolderCopy program(temp.path());
    const fs::path source = temp.path() / "Film.mkv";
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    MakeMkv(source.string(), c.audio.encoder, c.audio.channels, {}, 3);
    const std::string before = Fingerprint(source.string());

    const ProgramRun run = RunProgram({program.Cli(), "convert", "--out", out.string(),
                                       "--container", c.container, source.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Fingerprint(source.string()), before);

    std::string stream;
    if (c.container == "m2ts") {
        EXPECT_EQ(FolderNames(out), std::vector<std::string>{"Film.mpg"});
        stream = (out / "Film.mpg").string();
        EXPECT_EQ(fs::file_size(stream) % 192, 0u);
    } else {
        EXPECT_EQ(FolderNames(out), std::vector<std::string>{"Film"});
        const ProgramRun titles = RunProgram({"/usr/bin/bd_list_titles", (out / "Film").string()});
        EXPECT_NE(titles.out.find("duration: 00:00:03 chapters:   1"), std::string::npos)
            << titles.out << titles.err;
        stream = (temp.path() / "title.m2ts").string();
        RunProgram({"/usr/bin/bd_splice", "-p", "0", (out / "Film").string(), stream});
    }
    const MediaFacts in = Probe(source.string()), got = Probe(stream);
    const auto video = got.OfType("video"), audio = got.OfType("audio");
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(video[0].codec, "h264");
    EXPECT_EQ(video[0].level, 41);
    EXPECT_EQ(video[0].framesDecoded, in.OfType("video").at(0).framesDecoded);
    EXPECT_EQ(audio[0].codec, ExpectedAudioCodec(c));
    if (audio[0].codec == in.OfType("audio").at(0).codec) {  // copied, not converted
        EXPECT_EQ(audio[0].framesDecoded, in.OfType("audio").at(0).framesDecoded);
    }
    EXPECT_NEAR(got.duration, in.duration, 0.2);
}

INSTANTIATE_TEST_SUITE_P(Formats, TsChains, ::testing::ValuesIn(AllCases()), [](const auto& info) {
    return info.param.audio.name + "_" + info.param.container;
});

// Debian has no VC-1 encoder; a WMV with WMV2 video is refused before the first step, naming it.
TEST(WmvChain, VideoThatIsNotVc1IsRefusedFirst) {
    test::TempFolder temp("kestrun-e2e-wmv");
    const ProgramFolderCopy program(temp.path());
    const fs::path source = temp.path() / "clip.wmv";
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-f", "lavfi", "-i",
            "sine=duration=1", "-c:v", "wmv2", "-c:a", "wmav2", source.string()});
    const ProgramRun run =
        RunProgram({program.Cli(), "convert", "--out", out.string(), source.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("its video is wmv2"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Extracting VC1 data"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderNames(out).empty());
}

}  // namespace
}  // namespace kestrun::e2e
