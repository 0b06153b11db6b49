// A folder batch run again after an interruption: only the missing result is made, a result that
// verifies is skipped, and one that is cut short or breaks a rule is reported as failed and left
// byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

// The summary row of a source on standard error, after its name and the padding.
std::string RowOf(const std::string& err, const std::string& source) {
    const size_t at = err.find("\n" + source + "  ");
    if (at == std::string::npos) return {};
    const size_t start = err.find_first_not_of(' ', at + 1 + source.size());
    return err.substr(start, err.find('\n', start) - start);
}

TEST(BatchResume, ASecondRunConvertsOnlyWhatIsMissing) {
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path folder = temp.MakeFolder("sources"), out = temp.MakeFolder("out");
    const std::string o = out.string() + "/";
    for (const char* name : {"a.mkv", "Film.2008.mkv", "c.mkv"})
        MakeMkv((folder / name).string(), {"-c:a", "ac3", "-b:a", "192k"}, 2, {}, 1);
    // The header stage rewrites level 5.1 only: a 5.2 stream breaks a rule of the PS3.
    MakeMkv((folder / "d.mkv").string(), {"-c:a", "ac3", "-b:a", "192k"}, 2, {"-level", "5.2"}, 1);
    const auto batch = [&] {
        return RunProgram(
            {program.Cli(), "batch", "--out", out.string(), "--platform", "ps3", folder.string()});
    };

    const ProgramRun first = batch();
    EXPECT_EQ(first.exitCode, 3) << first.err;
    EXPECT_NE(first.err.find("4 converted, 0 skipped, 0 failed"), std::string::npos) << first.err;
    EXPECT_EQ(
        RowOf(first.err, "d.mkv"),
        "converted  " + o +
            "d.mp4: Conversion done, but the result will not play: PS3: H.264 level 5.2 > 4.1")
        << first.err;

    // An interrupted run: one result never written, one cut short.
    fs::remove(out / "a.mp4");
    fs::resize_file(out / "c.mp4", fs::file_size(out / "c.mp4") / 2);
    std::map<std::string, std::string> before;
    for (const char* kept : {"Film_2008.mp4", "c.mp4", "d.mp4"})
        before[kept] = Fingerprint((out / kept).string());

    const ProgramRun second = batch();
    EXPECT_EQ(second.exitCode, 1) << second.err;
    EXPECT_EQ(second.out, o + "a.mp4\n");
    EXPECT_NE(second.err.find("1 converted, 1 skipped, 2 failed"), std::string::npos) << second.err;
    const std::map<std::string, std::string> rows = {
        {"a.mkv", "converted  " + o + "a.mp4"},
        {"Film.2008.mkv", "skipped    " + o + "Film_2008.mp4"},
        {"c.mkv",
         "failed     " + o +
             "c.mp4: result exists but does not verify: PS3: file cut short: the file ends"},
        {"d.mkv", "failed     " + o + "d.mp4: result exists but does not verify: PS3: H.264"},
    };
    for (const auto& [source, row] : rows)
        EXPECT_EQ(RowOf(second.err, source).rfind(row, 0), 0u) << source << "\n" << second.err;
    for (const auto& [kept, fingerprint] : before)
        EXPECT_EQ(Fingerprint((out / kept).string()), fingerprint) << kept;
}

// An M2TS batch and then an MP4 batch into one folder: the ".mpg" results hold nothing back,
// and of two films that give one MP4 name only the first is converted.
TEST(BatchResume, OnlyTheChosenChainsResultOfThisSourceIsSkipped) {
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path folder = temp.MakeFolder("sources"), out = temp.MakeFolder("out");
    MakeMkv((folder / "Ep.01.mkv").string(), {"-c:a", "ac3", "-b:a", "192k"}, 2, {}, 1);
    MakeMkv((folder / "Ep_01.mkv").string(), {"-c:a", "ac3", "-b:a", "192k"}, 2, {}, 3);
    const auto batch = [&](const char* container) {
        return RunProgram({program.Cli(), "batch", "--out", out.string(), "--container", container,
                           folder.string()});
    };
    const ProgramRun m2ts = batch("m2ts");
    ASSERT_NE(m2ts.err.find("2 converted, 0 skipped, 0 failed"), std::string::npos) << m2ts.err;

    const ProgramRun mp4 = batch("mp4");
    EXPECT_EQ(mp4.exitCode, 1) << mp4.err;
    EXPECT_NE(mp4.err.find("1 converted, 0 skipped, 1 failed"), std::string::npos) << mp4.err;
    const ProgramRun again = batch("mp4");
    EXPECT_NE(again.err.find("0 converted, 1 skipped, 1 failed"), std::string::npos) << again.err;
    for (const ProgramRun& run : {mp4, again}) {
        const std::string first = run.err.find("\nEp.01.mkv  ") < run.err.find("\nEp_01.mkv  ")
                                      ? "Ep.01.mkv"
                                      : "Ep_01.mkv";
        const std::string second = first == "Ep.01.mkv" ? "Ep_01.mkv" : "Ep.01.mkv";
        EXPECT_EQ(RowOf(run.err, second),
                  "failed     its result name Ep_01.mp4 is that of " + first)
            << run.err;
    }
}

}  // namespace
}  // namespace kestrun::e2e
