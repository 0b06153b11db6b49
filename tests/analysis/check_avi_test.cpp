// CheckAviVideo with the real mmcl stand-in; MEncoder's test cut is played by the recording
// stand-in, which copies the source to the cut's path.
#include "analysis/check_avi.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "analysis_samples.h"
#include "model/context.h"
#include "platform/tool_table.h"
#include "support/process.h"
#include "support/recorder_rules.h"
#include "support/samples.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

class CheckAviTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(work);
        const std::string mmcl = recorder.ProgramFolder() + std::string(tool::kMmcl);
        std::filesystem::create_directories(std::filesystem::path(mmcl).parent_path());
        std::filesystem::create_symlink(BuiltTool("Checker/mmcl"), mmcl);
        ctx.runner.SetObserver([this](const std::string& line) { commands.push_back(line); });
    }
    // MEncoder copies `sample` to its output, as a 10 MB cut of a small file would.
    void CutGives(const std::string& sample) {
        recorder.Install(tool::kMEncoder);
        recorder.Rules().Copy("Mencoder", "after:-o", AnalysisSample(sample));
    }
    bool Check(const std::string& source) {
        return CheckAviVideo(ctx, source, recorder.ProgramFolder() + std::string(tool::kMmcl),
                             work + "/");
    }

    TempFolder root{"kestrun-checkavi"};
    RecorderProgramFolder recorder{root.path().string()};
    std::string work = root / "work folder";
    ScriptedHost host;
    Context ctx{host, recorder.ProgramFolder()};
    std::vector<std::string> commands;
};

TEST_F(CheckAviTest, PlainMpeg4VideoIsKept) {
    CutGives("plain.avi");
    const std::string source = root / "my film.avi";
    EXPECT_TRUE(Check(source));
    ASSERT_EQ(commands.size(), 2u);
    const std::string cut = work + "/test.avi";
    EXPECT_EQ(commands[0], "\"" + recorder.ProgramFolder() +
                               "/Mencoder/Mencoder\" -endpos 10mb -ovc copy -oac copy \"" + source +
                               "\" -o \"" + cut + "\"");
    EXPECT_EQ(commands[1],
              "\"" + recorder.ProgramFolder() + "/Checker/mmcl\" --info \"" + cut + "\"");
    EXPECT_FALSE(std::filesystem::exists(cut));
}

TEST_F(CheckAviTest, QpelOrGmcVideoIsRecoded) {
    for (const char* sample : {"qpel.avi", "gmc.avi"}) {
        CutGives(sample);
        EXPECT_FALSE(Check(root / "source.avi")) << sample;
        EXPECT_FALSE(std::filesystem::exists(work + "/test.avi")) << sample;
    }
}

TEST_F(CheckAviTest, MissingOrFailingCutCountsAsIncompatible) {
    EXPECT_FALSE(Check(root / "source.avi"));  // no MEncoder at all
    recorder.Install(tool::kMEncoder);
    recorder.Rules().WriteText("Mencoder", "after:-o", "not an AVI");
    EXPECT_FALSE(Check(root / "source.avi"));
    EXPECT_FALSE(std::filesystem::exists(work + "/test.avi"));
}

}  // namespace
}  // namespace kestrun::test
