// The mmcl stand-in against AVIs encoded with and without quarter-pixel motion and GMC.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

const std::string kQpelNo = "QPel:              No";
const std::string kQpelYes = "QPel:              Yes";
const std::string kGmcNo = "GMC:               No";

std::string Mmcl() { return BuiltTool("Checker/mmcl"); }

class MmclTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { folder_ = std::make_unique<TempFolder>(); }
    static void TearDownTestSuite() { folder_.reset(); }

    // A 1-second 176x144 MPEG-4 Part 2 AVI with MP3 audio.
    static std::string Encode(const std::string& name,
                              const std::vector<std::string>& videoOptions) {
        const std::string path = *folder_ / name;
        std::vector<std::string> args = {"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25",
                                         "-f", "lavfi", "-i", "sine",
                                         "-t", "1"};
        args.insert(args.end(), videoOptions.begin(), videoOptions.end());
        args.insert(args.end(), {"-c:a", "libmp3lame"});
        SampleAt(args, path);
        return path;
    }
    static ProgramRun Info(const std::string& path) { return RunProgram({Mmcl(), "--info", path}); }

    static std::unique_ptr<TempFolder> folder_;
};

std::unique_ptr<TempFolder> MmclTest::folder_;

bool Has(const std::string& text, const std::string& phrase) {
    return text.find(phrase) != std::string::npos;
}

TEST_F(MmclTest, PlainXvidUsesNeitherQpelNorGmc) {
    const ProgramRun run = Info(Encode("plain.avi", {"-c:v", "libxvid", "-vtag", "XVID"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, kQpelNo + "\n"));
    EXPECT_TRUE(Has(run.out, kGmcNo + "\n"));
    EXPECT_TRUE(Has(run.out, "FourCC:            XVID\n"));
    EXPECT_TRUE(Has(run.out, "I-VOPs: "));
}

TEST_F(MmclTest, ReportsQpelAndGmcEachOnItsOwn) {
    const ProgramRun qpel =
        Info(Encode("qpel.avi", {"-c:v", "libxvid", "-flags", "+qpel", "-vtag", "XVID"}));
    ASSERT_EQ(qpel.exitCode, 0) << qpel.err;
    EXPECT_TRUE(Has(qpel.out, kQpelYes + "\n"));
    EXPECT_TRUE(Has(qpel.out, kGmcNo + "\n"));

    const ProgramRun gmc =
        Info(Encode("gmc.avi", {"-c:v", "libxvid", "-gmc", "1", "-vtag", "XVID"}));
    ASSERT_EQ(gmc.exitCode, 0) << gmc.err;
    EXPECT_TRUE(Has(gmc.out, kQpelNo + "\n"));
    EXPECT_FALSE(Has(gmc.out, kGmcNo));
    EXPECT_TRUE(Has(gmc.out, "GMC:               Yes ("));
}

// FFmpeg's own encoder marks quarter-pixel layers with a verid other than 2.
TEST_F(MmclTest, FfmpegMpeg4WithBFramesAndQpel) {
    const ProgramRun plain =
        Info(Encode("lavc.avi", {"-c:v", "mpeg4", "-bf", "2", "-vtag", "xvid"}));
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_TRUE(Has(plain.out, kQpelNo + "\n"));
    EXPECT_TRUE(Has(plain.out, "B-VOPs: "));
    EXPECT_FALSE(Has(plain.out, "B-VOPs: 0 "));
    const ProgramRun qpel =
        Info(Encode("lavc-qpel.avi", {"-c:v", "mpeg4", "-flags", "+qpel", "-vtag", "xvid"}));
    EXPECT_TRUE(Has(qpel.out, kQpelYes + "\n"));
}

TEST_F(MmclTest, VideoThatIsNotMpeg4Part2IsAnErrorWithoutThePhrases) {
    const ProgramRun run = Info(Encode("mjpeg.avi", {"-c:v", "mjpeg"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(Has(run.out, "QPel:"));
    EXPECT_TRUE(Has(run.err, "startcode not found at beginning of frame")) << run.err;
}

TEST_F(MmclTest, BadFilesGiveAnErrorLineAndNoReport) {
    const TempFolder& f = *folder_;
    WriteWholeFile(f / "empty.avi", "");
    WriteWholeFile(f / "text.avi", "RIFF is not enough\n");
    const std::string whole = ReadWholeFile(Encode("whole.avi", {"-c:v", "libxvid"}));
    WriteWholeFile(f / "headers-cut.avi", whole.substr(0, 100));
    for (const char* name : {"empty.avi", "text.avi", "headers-cut.avi", "missing.avi"}) {
        const ProgramRun run = Info(f / name);
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_FALSE(Has(run.out, "QPel:")) << name;
        EXPECT_TRUE(Has(run.err, "mmcl: Error: ")) << name << ": " << run.err;
    }
}

TEST_F(MmclTest, FileCutInsideItsFramesStillReportsTheHeaders) {
    const TempFolder& f = *folder_;
    const std::string whole = ReadWholeFile(Encode("long.avi", {"-c:v", "libxvid"}));
    const std::string folder = f / "Ordner mit Lücken, l'été";
    std::filesystem::create_directory(folder);
    WriteWholeFile(folder + "/cut test.avi", whole.substr(0, whole.size() * 2 / 3));
    const ProgramRun run = Info(folder + "/cut test.avi");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, kQpelNo + "\n"));
    EXPECT_TRUE(Has(run.out, kGmcNo + "\n"));
}

TEST_F(MmclTest, AcceptsOnlyInfoWithOneFile) {
    EXPECT_EQ(RunProgram({Mmcl()}).exitCode, 2);
    EXPECT_EQ(RunProgram({Mmcl(), "--info"}).exitCode, 2);
    EXPECT_EQ(RunProgram({Mmcl(), "--info", "a.avi", "b.avi"}).exitCode, 2);
    EXPECT_EQ(RunProgram({Mmcl(), "a.avi", "b.avi"}).exitCode, 2);
}

}  // namespace
}  // namespace kestrun::test
