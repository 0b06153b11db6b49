// kestrun-cli info on real samples: the program runs from a copy in a program folder of its own,
// whose tools are the built stand-ins.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "analysis_samples.h"
#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

using Json = nlohmann::json;

class InfoCommandTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::copy_file(BuiltTool("kestrun-cli"), cli); }
    ProgramRun Info(const std::string& source) { return RunProgram({cli, "info", source}); }
    Json InfoJson(const std::string& source) {
        const ProgramRun run = Info(source);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return Json::parse(run.out);
    }

    TempFolder root{"kestrun-info"};
    std::string program = MakeStandInProgramFolder(root);
    std::string cli = program + "/kestrun-cli";
};

std::string Text(const Json& object, const char* key) {
    const auto value = object.find(key);
    return value != object.end() && value->is_string() ? value->get<std::string>()
                                                       : "<missing " + std::string(key) + ">";
}

int64_t Number(const Json& object, const char* key) {
    const auto value = object.find(key);
    return value != object.end() && value->is_number_integer() ? value->get<int64_t>() : -999;
}

bool Flag(const Json& object, const char* key) {
    const auto value = object.find(key);
    return value != object.end() && value->is_boolean() && value->get<bool>();
}

TEST_F(InfoCommandTest, ReportsTheAnalysisAndTheWindowFields) {
    const Json info = InfoJson(AnalysisSample("main.mkv"));
    EXPECT_EQ(Text(info, "type"), "mkv");
    EXPECT_EQ(Text(info, "videoCodec"), "avc");
    EXPECT_FALSE(Flag(info, "vfw"));
    EXPECT_EQ(Text(info, "videoTrack"), "1");
    EXPECT_EQ(Text(info, "fps"), "23.976");
    EXPECT_EQ(Number(info, "pixelWidth"), 320);
    EXPECT_EQ(Number(info, "pixelHeight"), 240);
    const Json& audio = info.at("audio");
    ASSERT_EQ(audio.size(), 2u);
    EXPECT_EQ(Text(audio[1], "language"), "ger");
    EXPECT_EQ(Text(audio[1], "format"), "DTS");
    EXPECT_EQ(Text(audio[1], "track"), "3");
    EXPECT_EQ(Number(info, "selectedAudioFormat"), 0);
    EXPECT_EQ(Text(info, "audioTrack"), "2");
    const Json& subtitles = info.at("subtitles");
    ASSERT_EQ(subtitles.size(), 2u);
    EXPECT_EQ(Text(subtitles[1], "language"), "undefined");
    EXPECT_EQ(Text(subtitles[1], "type"), "ASS");
    EXPECT_EQ(Text(subtitles[1], "track"), "5");
    EXPECT_FALSE(Flag(info, "srtFound"));
    EXPECT_FALSE(Flag(info, "mpeg2Recode"));
    EXPECT_FALSE(Flag(info, "safeSyncEnabled"));
}

TEST_F(InfoCommandTest, WideMpeg2Vc1AndTooManyReferenceFrames) {
    const Json wide = InfoJson(AnalysisSample("wide.mkv"));
    EXPECT_EQ(Text(wide, "parOpt"), ":par=1920:1440");
    EXPECT_EQ(Text(wide, "aspectOpt"), " -aspect 1.3333333 ");
    EXPECT_EQ(Text(InfoJson(AnalysisSample("mpeg2.mkv")), "videoCodec"), "mpeg2");
    const Json vc1 = InfoJson(AnalysisSample("vc1.mkv"));
    EXPECT_EQ(Text(vc1, "videoCodec"), "vc1");
    EXPECT_TRUE(Flag(vc1, "vfw"));
    EXPECT_TRUE(Flag(InfoJson(AnalysisSample("xvid.mkv")), "vfw"));
    const ProgramRun dpb = Info(AnalysisSample("dpb.mkv"));
    EXPECT_EQ(dpb.exitCode, 0);
    EXPECT_TRUE(Flag(Json::parse(dpb.out), "mpeg2Recode"));
    EXPECT_NE(dpb.err.find("This AVC file is not playable"), std::string::npos);
}

TEST_F(InfoCommandTest, CompanionSubtitleFileIsFound) {
    const std::string source = root / "Mon film – été.mkv";
    std::filesystem::copy_file(AnalysisSample("main.mkv"), source);
    WriteWholeFile(root / "Mon film – été.srt", "1\n00:00:00,000 --> 00:00:01,000\nHi\n");
    EXPECT_TRUE(Flag(InfoJson(source), "srtFound"));
}

TEST_F(InfoCommandTest, UnusableSourcesExitWithTwo) {
    WriteWholeFile(root / "empty.mkv", "");
    WriteWholeFile(root / "text.mkv", "hello\n");
    WriteWholeFile(root / "say \"cheese\".mkv", ReadWholeFile(AnalysisSample("main.mkv")));
    for (const char* name : {"empty.mkv", "text.mkv", "missing.mkv", "say \"cheese\".mkv"}) {
        const ProgramRun run = Info(root / name);
        EXPECT_EQ(run.exitCode, 2) << name;
        EXPECT_TRUE(run.out.empty()) << name;
        EXPECT_FALSE(run.err.empty()) << name;
    }
    EXPECT_EQ(RunProgram({cli, "info"}).exitCode, 2);
    EXPECT_EQ(RunProgram({cli, "info", root / "a.mkv", root / "b.mkv"}).exitCode, 2);
}

}  // namespace
}  // namespace kestrun::test
