// The level rewrite of the SPS units of a raw stream (h264info's core), unit by unit and through
// the built program with its settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "common/lib_names.h"
#include "h264_tools/media_fixture.h"
#include "h264info/h264info_settings.h"
#include "h264info/level_rewrite.h"
#include "media/h264_level_patcher.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

using standin::h264::SpsLevelPatcher;

std::vector<uint8_t> PatchedWhole(std::vector<uint8_t> bytes, size_t* spsCount = nullptr) {
    SpsLevelPatcher patcher(41);
    patcher.Patch(bytes.data(), bytes.size());
    if (spsCount) *spsCount = patcher.SpsCount();
    return bytes;
}

TEST(SpsLevelPatcher, ChangesOnlyTheLevelByteOfSpsUnits) {
    const std::vector<uint8_t> stream = {
        0, 0, 0, 1,    0x67, 0x64, 0x00, 0x33, 0xAC,  // SPS, level 5.1
        0, 0, 1, 0x41, 0x64, 0x00, 0x33, 0x10,        // slice holding the same three bytes
        0, 0, 1, 0x27, 0x4D, 0x40, 0x33, 0x99,        // SPS with nal_ref_idc 1
        0, 0, 1, 0xE7, 0x64, 0x00, 0x33,              // forbidden bit set: not an SPS
        0, 0, 1, 0x67, 0x00, 0x00, 0x01, 0x67, 0x64, 0x00, 0x29};  // damaged, then a 4.1 SPS
    size_t spsCount = 0;
    const auto patched = PatchedWhole(stream, &spsCount);
    std::vector<size_t> changed;
    for (size_t i = 0; i < stream.size(); ++i) {
        if (patched[i] != stream[i]) changed.push_back(i);
    }
    EXPECT_EQ(changed, (std::vector<size_t>{7, 23}));
    EXPECT_EQ(patched[7], 0x29);
    EXPECT_EQ(spsCount, 3u);  // the two 5.1 units and the one already at 4.1
}

TEST(SpsLevelPatcher, StartCodesAndHeadersSplitAcrossChunks) {
    const std::vector<uint8_t> stream = {0x11, 0, 0, 0, 1,    0x67, 0x64, 0x00, 0x33,
                                         0x22, 0, 0, 1, 0x67, 0x42, 0xC0, 0x33};
    const auto expected = PatchedWhole(stream);
    for (size_t split = 0; split <= stream.size(); ++split) {
        auto bytes = stream;
        SpsLevelPatcher patcher(41);
        std::vector<standin::h264::LevelChange> changes;
        patcher.Patch(bytes.data(), split, &changes);
        patcher.Patch(bytes.data() + split, bytes.size() - split, &changes);
        EXPECT_EQ(bytes, expected) << "split at " << split;
        EXPECT_EQ(patcher.ChangedCount(), 2u);
        ASSERT_EQ(changes.size(), 2u);
        EXPECT_EQ(changes[0].offset, 8u);
        EXPECT_EQ(changes[1].offset, 16u);
        EXPECT_EQ(changes[1].was, 0x33);
    }
}

// The patcher's rule byte by byte, as plainly as it can be written: after each 00 00 01 an SPS
// header (type 7, forbidden bit clear) whose profile byte is not 0 has its level byte, when not
// 0, set. The patcher must give the same bytes however the stream is cut into chunks.
std::vector<uint8_t> PatchedByRule(std::vector<uint8_t> bytes, uint8_t level, size_t* count) {
    for (size_t i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] != 1 || i < 2 || bytes[i - 1] != 0 || bytes[i - 2] != 0) continue;
        const uint8_t header = bytes[i + 1];
        if ((header & 0x9F) != 0x07 || i + 4 >= bytes.size() || bytes[i + 2] == 0) continue;
        if (bytes[i + 4] == 0) continue;
        ++*count;
        bytes[i + 4] = level;
    }
    return bytes;
}

TEST(SpsLevelPatcher, AnyChunkingGivesTheBytesOfTheRule) {
    // Streams dense in zeros, ones and SPS headers, so start codes overlap, run across chunk
    // ends and stand inside the header bytes of other units.
    std::mt19937 random(7);
    const uint8_t alphabet[] = {0, 0, 0, 1, 1, 0x67, 0x27, 0xE7, 0x64, 0x33, 0x29, 0x03};
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> stream(random() % 300);
        for (uint8_t& b : stream)
            b = random() % 4 ? alphabet[random() % sizeof alphabet] : uint8_t(random());
        size_t expectedCount = 0;
        const auto expected = PatchedByRule(stream, 41, &expectedCount);

        auto bytes = stream;
        SpsLevelPatcher patcher(41);
        std::vector<standin::h264::LevelChange> changes;
        for (size_t at = 0; at < bytes.size();) {
            const size_t chunk =
                std::min<size_t>(bytes.size() - at, random() % (random() % 2 ? 6 : 40));
            patcher.Patch(bytes.data() + at, chunk, &changes);
            at += chunk;
        }
        ASSERT_EQ(bytes, expected) << "round " << round;
        EXPECT_EQ(patcher.SpsCount(), expectedCount) << "round " << round;
        for (const auto& change : changes) {
            EXPECT_EQ(stream[change.offset], change.was);
            EXPECT_EQ(bytes[change.offset], 41);
        }
    }
}

TEST(H264InfoSettings, ReadsBothPathsWithCrLfOrLf) {
    const auto crlf = standin::ParseH264InfoSettings(
        "[Paths]\r\nInputPath=/w/My Films/movie_raw.h264\r\nOutputPath=/w/My Films/movie.h264\r\n");
    EXPECT_EQ(crlf.inputPath, "/w/My Films/movie_raw.h264");
    EXPECT_EQ(crlf.outputPath, "/w/My Films/movie.h264");
    const auto lf = standin::ParseH264InfoSettings(
        "\xEF\xBB\xBF[paths]\nOutputPath=/o.h264\ninputpath=/i.h264");
    EXPECT_EQ(lf.inputPath, "/i.h264");
    EXPECT_EQ(lf.outputPath, "/o.h264");
    EXPECT_THROW(standin::ParseH264InfoSettings("[Paths]\r\nInputPath=/i.h264\r\n"),
                 std::runtime_error);
    EXPECT_THROW(standin::ParseH264InfoSettings("[Other]\nInputPath=/i\nOutputPath=/o\n"),
                 std::runtime_error);
}

// The program in a folder of its own, as it reads h264info.ini beside itself.
class H264InfoProgram : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = folder_ / "h264info";
        std::filesystem::copy_file(BuiltTool("h264info/h264info"), program_);
    }

    void WriteSettings(const std::string& input, const std::string& output) {
        folder_.Write("h264info.ini",
                      "[Paths]\r\nInputPath=" + input + "\r\nOutputPath=" + output + "\r\n");
    }

    ProgramRun Run() { return RunProgram({program_}); }

    TempFolder folder_{"kestrun-h264info"};
    std::string program_;
};

TEST_F(H264InfoProgram, SetsLevel41InEverySpsAndChangesNothingElse) {
    const std::string work = folder_.slash() + "work folder 'n' Ünïcode/";
    std::filesystem::create_directories(work);
    const std::string input = work + "movie_raw.h264";
    EncodeH264(input, 320, 240, 12,
               {"-level", "5.1", "-bf", "2", "-x264-params", "keyint=4:repeat-headers=1"});
    WriteSettings(input, work + "movie.h264");
    const auto before = ReadBytes(input);
    const size_t spsUnits = SpsUnitsOf(input).size();

    const auto result = Run();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ProbeStream(work + "movie.h264", "v:0")["level"], "41");
    EXPECT_FALSE(std::filesystem::exists(input));

    const auto after = ReadBytes(work + "movie.h264");
    ASSERT_EQ(before.size(), after.size());
    size_t differing = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i]) {
            ++differing;
            EXPECT_EQ(before[i], 51);
            EXPECT_EQ(after[i], 41);
        }
    }
    EXPECT_EQ(differing, spsUnits);
    EXPECT_EQ(differing, 3u);  // one SPS per keyframe
    EXPECT_FALSE(std::filesystem::exists(work + "movie.h264.partial"));
}

TEST_F(H264InfoProgram, RewritesInPlaceWhenBothPathsAreOneFile) {
    const std::string stream = folder_ / "movie.h264";
    EncodeH264(stream, 320, 240, 2, {"-level", "5.1"});
    WriteSettings(stream, stream);
    ASSERT_EQ(Run().exitCode, 0);
    EXPECT_EQ(ProbeStream(stream, "v:0")["level"], "41");
}

TEST_F(H264InfoProgram, BadInputFailsWithAMessageAndWritesNothing) {
    const std::string output = folder_ / "movie.h264";
    auto expectFailure = [&](const std::string& why) {
        const auto result = Run();
        EXPECT_NE(result.exitCode, 0) << why;
        EXPECT_TRUE(result.err.starts_with("h264info: ")) << why << ": " << result.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << why;
        EXPECT_FALSE(std::filesystem::exists(output + ".partial")) << why;
    };
    expectFailure("no settings file");
    WriteSettings(folder_ / "missing.h264", output);
    expectFailure("missing input");
    WriteSettings(folder_.Write("empty.h264", ""), output);
    expectFailure("empty input");
    WriteSettings(folder_.Write("text.h264", "not a video stream\n"), output);
    expectFailure("no SPS");
    WriteSettings(BuiltTool("h264info/h264info"), folder_ / "no such folder/movie.h264");
    EXPECT_NE(Run().exitCode, 0);

    EXPECT_EQ(RunProgram({program_, "extra"}).exitCode, 2);

    // A disk that fills up: writes past a file size limit fail the same way. (A second link to
    // the input has the stream copied rather than renamed.)
    const std::string input = folder_ / "movie_raw.h264";
    EncodeH264(input, 320, 240, 6, {"-level", "5.1"});
    std::filesystem::create_hard_link(input, folder_ / "second link");
    WriteSettings(input, output);
    const auto full = RunProgram({"/usr/bin/prlimit", "--fsize=4096", program_});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_FALSE(std::filesystem::exists(output + ".partial"));
}

// Where the program folder is not writable, the settings come from the folder Kestrun names.
TEST_F(H264InfoProgram, ReadsTheSettingsFromTheNamedStateFolder) {
    const std::string stream = folder_ / "movie.h264";
    EncodeH264(stream, 320, 240, 2, {"-level", "5.1"});
    const std::string state = folder_.MakeFolder("state");
    folder_.Write("state/h264info.ini",
                  "[Paths]\r\nInputPath=" + stream + "\r\nOutputPath=" + stream + "\r\n");
    ASSERT_EQ(RunProgram({program_}, {{"KESTRUN_STATE_DIR=" + state}}).exitCode, 0);
    EXPECT_EQ(ProbeStream(stream, "v:0")["level"], "41");
}

ino_t InodeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// The stream renamed to the output and patched where it lies, or copied where it cannot take the
// name, ends as the same bytes; a failure leaves both names as they were.
TEST(RewriteSpsLevels, RenamedWhereItCanCopiedElseAndPutBackOnFailure) {
    TempFolder folder("kestrun-h264info");
    const std::string original = folder / "original.h264";
    EncodeH264(original, 320, 240, 8,
               {"-level", "5.1", "-x264-params", "keyint=4:repeat-headers=1"});
    const std::string text = folder.Write("text.h264", "not a video stream\n");

    struct Case {
        const char* name;
        std::string source;  // copied to the input first
        const char* input;
        const char* output;
        bool secondLink;
        const char* outputBefore;  // written first, when set
        bool renamed;              // the input's file became the output
        bool fails;
    };
    const Case cases[] = {
        {"second link: copied", original, "copied_raw.h264", "copied.h264", true, nullptr, false,
         false},
        {"one folder", original, "a_raw.h264", "a.h264", false, nullptr, true, false},
        {"one file", original, "b.h264", "b.h264", false, nullptr, true, false},
        {"another folder", original, "c_raw.h264", "sub/c.h264", false, nullptr, true, false},
        {"output name taken: replaced", original, "d_raw.h264", "d.h264", false, "older", false,
         false},
        {"no SPS", text, "e_raw.h264", "e.h264", false, nullptr, false, true},
        {"no SPS, output name taken", text, "f_raw.h264", "f.h264", false, "older", false, true},
        {"empty", "", "g_raw.h264", "g.h264", false, nullptr, false, true},
    };
    std::vector<uint8_t> copied;  // what the copy wrote: the bytes every rewrite must give
    for (const Case& c : cases) {
        const std::string input = folder / c.input;
        const std::string output = folder / c.output;
        std::filesystem::create_directories(std::filesystem::path(output).parent_path());
        if (c.source.empty())
            folder.Write(c.input);
        else
            std::filesystem::copy_file(c.source, input);
        if (c.secondLink) std::filesystem::create_hard_link(input, input + ".link");
        if (c.outputBefore) folder.Write(c.output, c.outputBefore);
        const auto inputBefore = ReadBytes(input);
        const ino_t inode = InodeOf(input);

        if (c.fails) {
            EXPECT_THROW(standin::RewriteSpsLevels(input, output, 41), std::runtime_error)
                << c.name;
            EXPECT_EQ(ReadBytes(input), inputBefore) << c.name;
            EXPECT_EQ(InodeOf(input), inode) << c.name;
            if (c.outputBefore) {
                EXPECT_EQ(ReadWholeFile(output), c.outputBefore) << c.name;
            } else {
                EXPECT_FALSE(std::filesystem::exists(output)) << c.name;
            }
            continue;
        }
        const auto result = standin::RewriteSpsLevels(input, output, 41);
        EXPECT_EQ(result.spsCount, 2u) << c.name;
        if (copied.empty()) copied = ReadBytes(output);
        EXPECT_EQ(ReadBytes(output), copied) << c.name;
        EXPECT_EQ(InodeOf(output) == inode, c.renamed) << c.name;
        EXPECT_EQ(std::filesystem::exists(input), !c.renamed || input == output) << c.name;
        if (std::filesystem::exists(input) && input != output) {
            EXPECT_EQ(ReadBytes(input), inputBefore) << c.name;
        }
        EXPECT_FALSE(std::filesystem::exists(output + ".partial")) << c.name;
    }
    EXPECT_EQ(copied, PatchedWhole(ReadBytes(original)));
    EXPECT_EQ(ProbeStream(folder / "copied.h264", "v:0")["level"], "41");
}

}  // namespace
}  // namespace kestrun::test
