// x264_checker on real MKVs: the verdict both ways, and sources it must refuse.
#include <gtest/gtest.h>

#include <filesystem>

#include "h264_tools/media_fixture.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

std::string LastLine(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
    return trimmed.substr(trimmed.rfind('\n') + 1);
}

class X264Checker : public ::testing::Test {
protected:
    ProgramRun Check(const std::string& source) {
        return RunProgram({BuiltTool("Checker/x264_checker"), source});
    }

    void ExpectRefused(const std::string& source, const std::string& messagePart) {
        const auto result = Check(source);
        EXPECT_NE(result.exitCode, 0) << source;
        EXPECT_EQ(result.out.find("dpb check"), std::string::npos) << source;
        EXPECT_TRUE(result.err.starts_with("x264_checker: ")) << result.err;
        EXPECT_NE(result.err.find(messagePart), std::string::npos) << result.err;
    }

    TempFolder folder_{"kestrun-checker"};
};

TEST_F(X264Checker, SixteenReferenceFramesAt1080pFail) {
    const std::string source = folder_ / "Film's 1080p refs.mkv";
    EncodeH264(source, 1920, 1080, 3, {"-refs", "16", "-level", "5.1"});
    const auto result = Check(source);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(LastLine(result.out), "dpb check: [FAILED]");
    EXPECT_NE(result.out.find("reference frames: 16"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("level 4.1 allows: 4 frames"), std::string::npos) << result.out;
}

TEST_F(X264Checker, StreamsWithinTheLevel41BufferPass) {
    const std::string hd = folder_ / "720p.mkv";
    EncodeH264(hd, 1280, 720, 3, {"-refs", "9", "-bf", "2", "-level", "5.1"});
    auto result = Check(hd);
    EXPECT_EQ(LastLine(result.out), "dpb check: [OK]") << result.out;

    // At 1080p level 4.1 holds four frames: four references pass, five fail.
    const std::string full = folder_ / "Ünïcode 1080p.mkv";
    EncodeH264(full, 1920, 1080, 2, {"-refs", "4"});
    result = Check(full);
    EXPECT_EQ(LastLine(result.out), "dpb check: [OK]") << result.out;
    EncodeH264(full, 1920, 1080, 2, {"-refs", "5"});
    result = Check(full);
    EXPECT_EQ(LastLine(result.out), "dpb check: [FAILED]") << result.out;
}

TEST_F(X264Checker, SourcesWithoutReadableH264AreRefused) {
    const std::string mpeg2 = folder_ / "mpeg2.mkv";
    Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x96:rate=25", "-frames:v", "2", "-c:v",
            "mpeg2video", mpeg2});
    ExpectRefused(mpeg2, "mpeg2video");
    ExpectRefused(folder_ / "missing.mkv", "missing.mkv");
    ExpectRefused(folder_.Write("empty.mkv", ""), "empty.mkv");
    ExpectRefused(folder_.Write("notes.mkv", "just some text\n"), "notes.mkv");

    const std::string truncated = folder_ / "truncated.mkv";
    EncodeH264(truncated, 320, 240, 2, {});
    std::filesystem::resize_file(truncated, 60);
    const auto result = Check(truncated);
    EXPECT_EQ(result.out.find("dpb check"), std::string::npos);
    EXPECT_NE(result.exitCode, 0);

    EXPECT_EQ(RunProgram({BuiltTool("Checker/x264_checker")}).exitCode, 2);
}

}  // namespace
}  // namespace kestrun::test
