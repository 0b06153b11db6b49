// kestrun-cli convert when something is wrong: a missing output folder or source, a missing or
// broken tool, audio the chain cannot take, a path the tools' command lines cannot carry. Each
// ends with exit 1 and a message, the source untouched, nothing but intermediates removed and
// no result claimed.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

class BadInputTest : public ::testing::Test {
protected:
    BadInputTest() : program_(temp_.path()) {
        fs::create_directories(out_);
        fs::create_directories(sources_);
    }

    // An AC-3 5.1 sample in the sources folder.
    fs::path Sample(const std::string& name = "Sample.mkv",
                    std::vector<std::string> audio = {"-c:a", "ac3", "-b:a", "384k"},
                    int channels = 6) {
        const fs::path source = sources_ / name;
        MakeMkv(source.string(), audio, channels);
        return source;
    }

    ProgramRun Convert(const fs::path& source, const fs::path& out) {
        return RunProgram({program_.Cli(), "convert", "--out", out.string(), source.string()});
    }

    // A failed run: exit 1, something said on standard error, no result printed.
    static void ExpectFailure(const ProgramRun& run) {
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_FALSE(run.err.empty());
        EXPECT_TRUE(run.out.empty()) << run.out;
    }

    // No MP4 in the output folder, or only an empty one the failing muxer left.
    void ExpectNoResult() const {
        for (const auto& entry : fs::directory_iterator(out_)) {
            if (entry.path().extension() == ".mp4") {
                EXPECT_EQ(fs::file_size(entry.path()), 0u) << entry.path();
            }
        }
    }

    test::TempFolder temp_{"kestrun-e2e"};
    ProgramFolderCopy program_;
    fs::path out_ = temp_.path() / "out";
    fs::path sources_ = temp_.path() / "sources";
};

TEST_F(BadInputTest, MissingOutputFolderIsRefusedBeforeAnythingRuns) {
    const fs::path source = Sample();
    const std::string before = Fingerprint(source.string());
    const fs::path missing = temp_.path() / "no such folder";

    const ProgramRun run = Convert(source, missing);

    ExpectFailure(run);
    EXPECT_NE(run.err.find("Output folder does not exist."), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(Fingerprint(source.string()), before);
    EXPECT_EQ(FolderNames(sources_), std::vector<std::string>{"Sample.mkv"});
}

// Refused before any work with the true reason: a batch into a folder that is not there, and
// files named .mkv that are something else.
TEST_F(BadInputTest, WrongCausesAreNotNamedForTheTrueOne) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after the CLI
        const char* said;
    };
    const fs::path source = Sample();
    const std::string noise = temp_.Write("sources/noise.mkv", std::string(4096, '\x5a'));
    const std::string mp4 = (sources_ / "film.mkv").string();
    test::Ffmpeg({"-i", source.string(), "-c", "copy", "-f", "mp4", mp4});
    const std::string missing = (temp_.path() / "no such folder").string();
    const Case cases[] = {
        {"batch into a missing folder",
         {"batch", "--out", missing, sources_.string()},
         "The output folder does not exist; nothing was converted: "},
        {"noise named .mkv",
         {"convert", "--out", out_.string(), noise},
         "is not an MKV (Matroska) file; nothing was converted: "},
        {"MP4 named .mkv",
         {"convert", "--out", out_.string(), mp4},
         "is not an MKV (Matroska) file; nothing was converted: "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {program_.Cli()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramRun run = RunProgram(args);
        EXPECT_EQ(run.exitCode, 1) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << c.name << "\n" << run.err;
        EXPECT_EQ(run.err.find("Audio error"), std::string::npos) << c.name;
        EXPECT_TRUE(FolderNames(out_).empty()) << c.name;
        EXPECT_FALSE(fs::exists(missing)) << c.name;
    }
}

TEST_F(BadInputTest, MissingSourceFails) {
    const ProgramRun run = Convert(sources_ / "gone.mkv", out_);

    ExpectFailure(run);
    EXPECT_NE(run.err.find("gone.mkv"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderNames(out_).empty());
}

// Without MP4Box the MP4 is never written: the chain reports it and keeps its intermediates
// (they are not deleted on failure), but touches nothing else.
TEST_F(BadInputTest, MissingMuxerFailsWithAMessage) {
    const fs::path source = Sample();
    const std::string before = Fingerprint(source.string());
    const std::string bystander = temp_.Write("out/notes.txt", "not ours");
    program_.RemoveTool("MP4Box/MP4Box");

    const ProgramRun run = Convert(source, out_);

    ExpectFailure(run);
    EXPECT_NE(run.err.find("Sample.mp4"), std::string::npos) << run.err;
    ExpectNoResult();
    EXPECT_EQ(Fingerprint(source.string()), before);
    EXPECT_EQ(test::ReadWholeFile(bystander), "not ours");
}

// A tool that exits at once with a failure and writes nothing: whichever it is, the chain must
// not claim an MP4. (x264_checker is left out: its verdict only chooses a re-encode.)
TEST_F(BadInputTest, BrokenToolIsNotReportedAsSuccess) {
    const fs::path source = Sample();
    const std::string before = Fingerprint(source.string());
    for (const std::string tool :
         {"MKVToolnix/mkvinfo", "MKVToolnix/mkvextract", "FFMpeg/FFmpeg", "MP4Box/MP4Box"}) {
        SCOPED_TRACE(tool);
        test::TempFolder temp("kestrun-e2e");
        ProgramFolderCopy program(temp.path());
        program.ReplaceTool(tool, "/bin/false");
        const fs::path out = temp.path() / "out";
        fs::create_directories(out);

        const ProgramRun run =
            RunProgram({program.Cli(), "convert", "--out", out.string(), source.string()});

        ExpectFailure(run);
        EXPECT_FALSE(fs::exists(out / "Sample.mp4") && fs::file_size(out / "Sample.mp4") > 0);
        if (tool == "FFMpeg/FFmpeg") {
            EXPECT_NE(run.err.find("Error during aac conversion."), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(Fingerprint(source.string()), before);
}

// A source without an audio track the chains can take (here: none at all) is refused before any
// tool runs. FLAC, PCM and the other formats FFmpeg decodes are converted (decoded_formats_test).
TEST_F(BadInputTest, SourceWithoutConvertibleAudioIsRefused) {
    std::vector<std::string> args = PictureInput("320x240");
    args.insert(args.end(),
                {"-t", "1", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"});
    const fs::path source = test::SampleAt(args, (sources_ / "Silent.mkv").string());
    const std::string before = Fingerprint(source.string());

    const ProgramRun run = Convert(source, out_);

    ExpectFailure(run);
    EXPECT_NE(run.err.find("none of the formats"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderNames(out_).empty());
    EXPECT_EQ(Fingerprint(source.string()), before);
}

// A double quote cannot be carried by the tools' command lines: refused with the reason.
TEST_F(BadInputTest, DoubleQuoteInThePathIsRefused) {
    const fs::path source = Sample("Say \"hi\".mkv");
    const std::string before = Fingerprint(source.string());

    const ProgramRun run = Convert(source, out_);

    ExpectFailure(run);
    EXPECT_NE(run.err.find("double quote"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderNames(out_).empty());
    EXPECT_EQ(Fingerprint(source.string()), before);
}

}  // namespace
}  // namespace kestrun::e2e
