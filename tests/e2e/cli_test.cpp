// kestrun-cli's own contract: bad arguments are refused with one message naming the option and
// exit 2 (never an abort), each command's help lists its options, the window's settings file is
// neither read for the window's choices nor written, one output folder takes one conversion at a
// time, and "MPEG2 Recode" forced by the DPB check always has a format.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <tuple>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

class CliTest : public ::testing::Test {
protected:
    CliTest() : program_(temp_.path()) { fs::create_directories(out_); }

    ProgramRun Convert(std::vector<std::string> options, const std::string& source) {
        std::vector<std::string> argv = {program_.Cli(), "convert", "--out", out_.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(source);
        return RunProgram(argv);
    }
    std::string Sample() {
        const std::string source = (temp_.path() / "Film.mkv").string();
        if (!fs::exists(source)) MakeMkv(source, {"-c:a", "ac3", "-b:a", "192k"}, 2, {}, 1);
        return source;
    }

    test::TempFolder temp_{"kestrun-e2e"};
    ProgramFolderCopy program_;
    fs::path out_ = temp_.path() / "out";
};

TEST_F(CliTest, BadArgumentsAreRefusedNamingTheOption) {
    const std::string srt = temp_.Write("film.srt", "1\n00:00:00,000 --> 00:00:01,000\nhi\n");
    const struct {
        std::vector<std::string> options;
        std::string named;
    } cases[] = {
        {{"--audio", "99999999999999"}, "--audio"},
        {{"--subs", "99999999999999"}, "--subs"},
        {{"--audio", "-1"}, "--audio"},
        {{"--subs", "x"}, "--subs"},
        {{"--platform", "wii"}, "--platform"},
        {{"--container=mkv"}, "--container"},
        {{"--bogus"}, "--bogus"},
        {{"--out", ""}, "--out"},
        {{"--subs-file", (temp_.path() / "missing.srt").string()}, "--subs-file"},
        // An MP4 without a re-encode carries no subtitles: say which options would.
        {{"--subs-file", srt}, "--recode"},
        {{"--subs-beside"}, "--subs-beside: there is no SRT file beside the source"},
        {{"--subs-beside", "--subs", "0"}, "--subs excludes --subs-beside"},
        {{"--audio", "3"}, "--audio 3"},
        // One box: "Safe Sync" under an MP4 output, "Fast Mux" under an AVCHD folder or M2TS.
        {{"--fast-mux"}, "--fast-mux: the box is \"Safe Sync\""},
        {{"--container", "mp4", "--fast-mux"}, "--fast-mux: the box is \"Safe Sync\""},
        {{"--safe-sync", "--fast-mux"}, "--fast-mux: the box is \"Safe Sync\""},
        {{"--container", "avchd", "--safe-sync"}, "--safe-sync cannot be combined with --cont"},
        {{"--container", "m2ts", "--safe-sync"}, "--safe-sync cannot be combined with --cont"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[0] + " " + (c.options.size() > 1 ? c.options[1] : ""));
        const ProgramRun run = Convert(c.options, Sample());
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(out_));
    }
}

TEST_F(CliTest, EachCommandsHelpListsItsOptions) {
    const struct {
        std::string command;
        std::vector<std::string> listed;
    } cases[] = {
        {"", {"info", "check", "convert", "batch", "--version", "Exit codes:", "130  interr"}},
        {"info", {"SOURCE"}},
        {"check", {"--platform ps3|xbox360|ps3-stereo", "--json", "FILE"}},
        {"convert",
         {"--out DIR", "--platform", "--container mp4|avchd|m2ts", "--recode none|mpeg2|h264|xvid",
          "--audio N", "--subs N", "--subs-file FILE", "--subs-beside", "--safe-sync", "--fps25",
          "--fast-mux", "--dvd", "--no-split", "--priority low|high", "SOURCE",
          "Exit codes:", "  2    a bad option"}},
        {"batch", {"--out DIR", "--container", "--subs-beside", "--no-split", "FOLDER"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        std::vector<std::string> argv = {program_.Cli(), c.command, "--help"};
        if (c.command.empty()) argv.erase(argv.begin() + 1);
        const ProgramRun run = RunProgram(argv);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        for (const std::string& option : c.listed)
            EXPECT_NE(run.out.find(option), std::string::npos) << option << "\n" << run.out;
        EXPECT_TRUE(!run.out.empty() && run.out.back() == '\n') << run.out;
    }
    const ProgramRun unknown = RunProgram({program_.Cli(), "frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos) << unknown.err;
    const ProgramRun version = RunProgram({program_.Cli(), "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("kestrun-cli [0-9]+\\.[0-9.]+\n")))
        << version.out;
}

// "Fast Mux" is taken where the box means it, whether the output is an AVCHD folder or an M2TS.
TEST_F(CliTest, FastMuxIsTakenForAvchdAndM2ts) {
    for (const char* container : {"avchd", "m2ts"}) {
        const ProgramRun run = Convert({"--container", container, "--fast-mux"}, Sample());
        EXPECT_EQ(run.exitCode, 0) << container << run.err;
        EXPECT_FALSE(fs::is_empty(out_)) << container;
        for (const auto& entry : fs::directory_iterator(out_)) fs::remove_all(entry.path());
    }
}

// A value follows its option as the next argument or after "=", and --platform of check repeats.
TEST_F(CliTest, AValueMayFollowItsOptionAfterAnEqualsSign) {
    const ProgramRun run = RunProgram({program_.Cli(), "check", "--json", "--platform=ps3-stereo",
                                       "--platform", "xbox360", Sample()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const size_t stereo = run.out.find("\"platform\": \"ps3-stereo\"");
    EXPECT_NE(stereo, std::string::npos) << run.out;
    const size_t xbox = run.out.find("\"platform\": \"xbox360\"");
    EXPECT_TRUE(stereo < xbox && xbox != std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\"platform\": \"ps3\""), std::string::npos) << run.out;
}

TEST_F(CliTest, TheSettingsFileIsNeverWritten) {
    const std::string settings =
        "a\r\nb\r\nc\r\n/films/\r\n 0 \r\n 1 \r\n/src/\r\n:frameref=3\r\n 2 \r\n-subpos 80\r\n"
        " 1 \r\n 0 \r\n 0 \r\n 0 \r\n";
    const std::string conf = (program_.path() / "Kestrun.conf").string();
    std::ofstream(conf, std::ios::binary) << settings;

    const ProgramRun run = Convert({}, Sample());

    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(conf), settings);
}

TEST_F(CliTest, ASecondConversionIntoAHeldFolderIsRefusedAtOnce) {
    const int held = open((out_ / "kestrun.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

    const ProgramRun refused = Convert({}, Sample());

    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("Another conversion"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find(out_.string()), std::string::npos) << refused.err;
    EXPECT_EQ(FolderNames(out_), std::vector<std::string>{"kestrun.lock"});
    close(held);

    const ProgramRun run = Convert({}, Sample());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FolderNames(out_), std::vector<std::string>{"Film.mp4"});
}

// A source the consoles' decoded picture buffer cannot hold (six reference frames at 1080p)
// turns on "MPEG2 Recode"; the format is MPEG-2 for the PS3 and H.264 for the Xbox 360, never
// none, which would mux the unplayable stream.
TEST_F(CliTest, TheDpbCheckRecodesInThePlatformsFormat) {
    const std::string source =
        test::FfmpegSample({"-f",           "lavfi",
                            "-i",           "testsrc=size=1920x1080:rate=25",
                            "-f",           "lavfi",
                            "-i",           "sine=frequency=440:sample_rate=48000",
                            "-t",           "0.2",
                            "-pix_fmt",     "yuv420p",
                            "-c:v",         "libx264",
                            "-preset",      "ultrafast",
                            "-x264-params", "ref=6:level=4.1",
                            "-c:a",         "ac3"},
                           "mkv");
    // No question asked: the PS3 gets an MPEG-2 program stream, the Xbox 360 an H.264 MP4.
    for (const auto& [platform, extension, codec] :
         {std::tuple<std::string, std::string, std::string>{"ps3", ".mpg", "mpeg2video"},
          {"xbox360", ".mp4", "h264"}}) {
        const ProgramRun run = Convert({"--platform", platform}, source);
        EXPECT_EQ(run.exitCode, 0) << platform << run.err;
        const auto names = FolderNames(out_);
        ASSERT_EQ(names.size(), 1u) << platform;
        EXPECT_EQ(fs::path(names[0]).extension(), extension);
        EXPECT_EQ(Probe((out_ / names[0]).string()).OfType("video").at(0).codec, codec);
        fs::remove(out_ / names[0]);
    }
}

// A rip that puts a mono commentary first and flags its stereo main track default: convert and
// batch take the flagged track unless --audio says otherwise, and info shows the flags.
TEST_F(CliTest, TheTrackTheSourceFlagsDefaultIsConverted) {
    const fs::path films = temp_.path() / "films";
    fs::create_directories(films);
    const std::string source = (films / "Rip.mkv").string();
    std::vector<std::string> args = PictureInput("320x240");
    for (const auto& part :
         {ToneInput(1, 1), ToneInput(2, 1),
          std::vector<std::string>{"-t", "1", "-map", "0", "-map", "1", "-map", "2", "-c:v",
                                   "libx264", "-c:a", "ac3", "-disposition:a:0", "0",
                                   "-disposition:a:1", "default"}})
        args.insert(args.end(), part.begin(), part.end());
    test::SampleAt(args, source);
    const ProgramRun info = RunProgram({program_.Cli(), "info", source});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\"default\": false"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"default\": true"), std::string::npos) << info.out;

    // The M2TS chain keeps an AC-3 track as it is: its channels tell the tracks apart.
    const std::string result = (out_ / "Rip.mpg").string();
    const std::pair<std::vector<std::string>, int> rows[] = {{{}, 2}, {{"--audio", "0"}, 1}};
    for (auto [options, channels] : rows) {
        options.insert(options.end(), {"--container", "m2ts"});
        const ProgramRun run = Convert(options, source);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(Probe(result).OfType("audio").at(0).channels, channels);
        fs::remove(result);
    }
    const ProgramRun batch = RunProgram(
        {program_.Cli(), "batch", "--container", "m2ts", "--out", out_.string(), films.string()});
    EXPECT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_EQ(Probe(result).OfType("audio").at(0).channels, 2);
}

}  // namespace
}  // namespace kestrun::e2e
