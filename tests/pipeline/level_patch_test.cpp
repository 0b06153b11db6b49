// The in-place level patch and the h264info hand-over.
#include <fstream>

#include "pipeline/stages.h"
#include "pipeline_fixture.h"
#include "platform/tool_table.h"
#include "platform/work_folder_lock.h"

namespace kestrun::test {
namespace {

using Bytes = std::string;

class LevelPatch : public PipelineTest {
protected:
    std::string Stream(const Bytes& content) { return work.Write("movie.h264", content); }
};

const Bytes kSpsStart("\0\0\0\x01\x67", 5);  // a start code and an SPS header byte

// `pattern` at `offset` as the start of a sequence parameter set that runs to the end.
Bytes At(size_t offset, const Bytes& pattern, size_t total = 8000) {
    Bytes b(total, '\x01');
    b.replace(offset - kSpsStart.size(), kSpsStart.size(), kSpsStart);
    b.replace(offset, pattern.size(), pattern);
    return b;
}

TEST_F(LevelPatch, HighProfileLevel51BecomesLevel41AndNothingElseChanges) {
    const Bytes before = At(100, Bytes("\x64\x00\x33", 3), 9000);
    const std::string path = Stream(before);
    PatchSpsLevel(path);
    Bytes expected = before;
    expected[102] = '\x29';
    EXPECT_TRUE(ReadWholeFile(path) == expected);
}

TEST_F(LevelPatch, EveryMatchIsPatchedAlsoBeyondEleven) {
    Bytes b(8000, '\x01');
    for (size_t i = 0; i < 15; ++i) b.replace(5 + i * 20, 8, kSpsStart + Bytes("\x64\x00\x33", 3));
    const std::string path = Stream(b);
    PatchSpsLevel(path);
    const Bytes after = ReadWholeFile(path);
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(after[12 + i * 20], '\x29') << i;
}

TEST_F(LevelPatch, ScanRangesAndPatternOrder) {
    // High beyond 6000 start positions: not found.
    Bytes high = At(6000, Bytes("\x64\x00\x33", 3));
    PatchSpsLevel(Stream(high));
    EXPECT_TRUE(ReadWholeFile(W("movie.h264")) == high);
    // Main found at start position 3000 (offset 2999), not at 3001.
    Bytes main = At(2999, Bytes("\x4D\x40\x33", 3));
    PatchSpsLevel(Stream(main));
    EXPECT_EQ(ReadWholeFile(W("movie.h264"))[3001], '\x29');
    Bytes lateMain = At(3000, Bytes("\x4D\x40\x33", 3));
    PatchSpsLevel(Stream(lateMain));
    EXPECT_TRUE(ReadWholeFile(W("movie.h264")) == lateMain);
    // A High match wins: the Main one stays.
    Bytes both = At(50, Bytes("\x4D\x40\x33", 3));
    both.replace(500, 3, Bytes("\x64\x00\x33", 3));
    PatchSpsLevel(Stream(both));
    const Bytes after = ReadWholeFile(W("movie.h264"));
    EXPECT_EQ(after[52], '\x33');
    EXPECT_EQ(after[502], '\x29');
    // Extended and Baseline.
    for (Bytes p : {Bytes("\x58\xA0\x33", 3), Bytes("\x42\xC0\x33", 3)}) {
        PatchSpsLevel(Stream(At(7, p)));
        EXPECT_EQ(ReadWholeFile(W("movie.h264"))[9], '\x29');
    }
}

TEST_F(LevelPatch, OnlyAPatternInsideASequenceParameterSetIsPatched) {
    const Bytes high("\x64\x00\x33", 3);
    const struct {
        const char* what;
        Bytes before;  // what precedes the pattern at offset 100
        bool patched;
    } cases[] = {
        {"SPS, four-byte start code", kSpsStart, true},
        {"SPS, three-byte start code", Bytes("\0\0\x01\x27", 4), true},
        {"further into an SPS", kSpsStart + Bytes("\x12\x34"), true},
        {"no start code before it", Bytes("\x01\x67"), false},
        {"IDR slice data", Bytes("\0\0\x01\x65\x88", 5), false},
        {"slice data", Bytes("\0\0\x01\x41\x9a", 5), false},
        {"PPS", Bytes("\0\0\x01\x68", 4), false},
        {"a slice after an SPS", kSpsStart + Bytes("\0\0\x01\x65", 4), false},
    };
    for (const auto& c : cases) {
        Bytes b(1000, '\x01');
        b.replace(100 - c.before.size(), c.before.size(), c.before);
        b.replace(100, 3, high);
        const std::string path = Stream(b);
        PatchSpsLevel(path);
        if (c.patched) b[102] = '\x29';
        EXPECT_TRUE(ReadWholeFile(path) == b) << c.what;
    }
}

TEST_F(LevelPatch, OtherLevelsShortAndMissingFilesStayAsTheyAre) {
    for (Bytes b : {At(10, Bytes("\x64\x00\x29", 3)), At(10, Bytes("\x64\x00\x28", 3)),
                    Bytes("\x64\x00", 2), Bytes()}) {
        PatchSpsLevel(Stream(b));
        EXPECT_TRUE(ReadWholeFile(W("movie.h264")) == b);
    }
    PatchSpsLevel(W("absent.h264"));
    EXPECT_FALSE(Exists("absent.h264"));
}

TEST_F(LevelPatch, H264InfoGetsThreeLinesAndTheRawStreamGoes) {
    work.Write("movie_raw.h264", "raw");
    const std::string ini = ctx.ToolPath(tool::kH264InfoIni);
    std::ofstream(ini) << "old\nstuff\nmore\nlines\n";
    RunH264Info(ctx, work.slash());
    EXPECT_EQ(ReadWholeFile(ini), "[Paths]\r\nInputPath=" + W("movie_raw.h264") +
                                      "\r\nOutputPath=" + W("movie.h264") + "\r\n");
    EXPECT_EQ(Commands(), std::vector<std::string>{T(tool::kH264Info)});
    EXPECT_FALSE(Exists("movie_raw.h264"));
}

// Another conversion of the same program folder is running h264info: this one says it waits its
// turn and writes the shared settings file only then.
TEST_F(LevelPatch, H264InfoWaitsItsTurnBehindAnotherConversion) {
    work.Write("movie_raw.h264", "raw");
    ToolTurn other(FolderOf(ctx.ToolPath(tool::kH264Info)));
    ASSERT_TRUE(other.TryTake());
    // The other conversion ends as soon as this one says it waits.
    form.txtProgress.onChange = [&](const Control&) { other.Release(); };
    RunH264Info(ctx, work.slash());
    EXPECT_EQ(form.txtProgress.text(),
              "Waiting for another conversion to finish its header adjustment");
    EXPECT_EQ(Commands(), std::vector<std::string>{T(tool::kH264Info)});
}

}  // namespace
}  // namespace kestrun::test
