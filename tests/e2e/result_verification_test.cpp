// The console rules on what a conversion wrote: a result that plays is reported as verified and
// exits 0; one that breaks a rule is reported on standard error and exits 3.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

struct Case {
    const char* name;
    std::vector<std::string> sourceOptions;  // after the default H.264 High 5.1 and AC-3 5.1
    const char* platform;
    int exitCode;
    const char* verdict;  // on standard error
};

TEST(ResultVerification, TheVerdictOnTheResultDecidesTheExitCode) {
    const Case cases[] = {
        {"level 5.1 patched",
         {},
         "xbox360",
         0,
         "Conversion done and verified: plays on the Xbox 360"},
        // The header stage rewrites level 5.1 only: a 5.2 stream keeps its level byte.
        {"level 5.2 kept",
         {"-level", "5.2"},
         "ps3",
         3,
         "Conversion done, but the result will not play: PS3: H.264 level 5.2 > 4.1"},
    };
    for (const Case& c : cases) {
        test::TempFolder temp("kestrun-e2e");
        const ProgramFolderCopy program(temp.path());
        const std::string source = temp / "Film.mkv";
        MakeMkv(source, {"-c:a", "ac3", "-b:a", "384k"}, 6, c.sourceOptions);
        const ProgramRun run = RunProgram({program.Cli(), "convert", "--out", temp.path().string(),
                                           "--platform", c.platform, source});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.verdict), std::string::npos) << c.name << "\n" << run.err;
        EXPECT_TRUE(fs::is_regular_file(temp / "Film.mp4")) << c.name;
        const std::string log = ReadWholeFile((program.path() / "debug.log").string());
        EXPECT_NE(log.find("Verification ("), std::string::npos) << c.name;
    }
}

}  // namespace
}  // namespace kestrun::e2e
