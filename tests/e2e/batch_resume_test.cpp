// A folder batch run again after an interruption: only the missing result is made, a result that
// verifies is skipped, and one that is cut short or breaks a rule is reported as failed and left
// byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/e2e_support.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

// The summary row of a source: the line of standard error that starts with its name.
std::string RowOf(const std::string& err, const std::string& source) {
    for (size_t at = 0; at < err.size();) {
        const size_t end = std::min(err.find('\n', at), err.size());
        if (err.compare(at, source.size() + 1, source + " ") == 0) return err.substr(at, end - at);
        at = end + 1;
    }
    return {};
}

enum class Interruption { None, Removed, CutShort };

struct Source {
    const char* name;
    std::vector<std::string> options;  // after the default H.264 High 5.1
    const char* result;
    const char* firstRow;  // the outcome after the first run and the start of its detail
    Interruption interruption;
    const char* secondRow;  // after the second run, the output folder written as OUT
};

std::string WithFolder(std::string text, const std::string& folder) {
    if (const size_t at = text.find("OUT"); at != std::string::npos) text.replace(at, 3, folder);
    return text;
}

TEST(BatchResume, ASecondRunConvertsOnlyWhatIsMissing) {
    const Source sources[] = {
        {"a.mkv",
         {},
         "a.mp4",
         "converted  OUT/a.mp4",
         Interruption::Removed,
         "converted  OUT/a.mp4"},
        {"Film.2008.mkv",
         {},
         "Film_2008.mp4",
         "converted  OUT/Film_2008.mp4",
         Interruption::None,
         "skipped    OUT/Film_2008.mp4"},
        {"c.mkv",
         {},
         "c.mp4",
         "converted  OUT/c.mp4",
         Interruption::CutShort,
         "failed     OUT/c.mp4: result exists but is cut short: the file ends inside the box"},
        // The header stage rewrites level 5.1 only: a 5.2 stream breaks a rule of the PS3.
        {"d.mkv",
         {"-level", "5.2"},
         "d.mp4",
         "converted  OUT/d.mp4: Conversion done, but the result will not play: PS3: H.264 level",
         Interruption::None,
         "failed     OUT/d.mp4: result exists but does not verify: PS3: H.264 level 5.2 > 4.1"},
    };
    test::TempFolder temp("kestrun-e2e");
    const ProgramFolderCopy program(temp.path());
    const fs::path folder = temp.MakeFolder("sources");
    const fs::path out = temp.MakeFolder("out");
    for (const Source& s : sources)
        MakeMkv((folder / s.name).string(), {"-c:a", "ac3", "-b:a", "192k"}, 2, s.options, 1);
    const auto batch = [&] {
        return RunProgram(
            {program.Cli(), "batch", "--out", out.string(), "--platform", "ps3", folder.string()});
    };

    const ProgramRun first = batch();
    EXPECT_EQ(first.exitCode, 3) << first.err;
    EXPECT_NE(first.err.find("4 converted, 0 skipped, 0 failed"), std::string::npos) << first.err;
    std::map<std::string, std::string> fingerprints;
    for (const Source& s : sources) {
        EXPECT_EQ(RowOf(first.err, s.name).find(WithFolder(s.firstRow, out.string())), 15u)
            << s.name << "\n"
            << first.err;
        const fs::path result = out / s.result;
        ASSERT_TRUE(fs::is_regular_file(result)) << s.result;
        if (s.interruption == Interruption::Removed) fs::remove(result);
        if (s.interruption == Interruption::CutShort)
            fs::resize_file(result, fs::file_size(result) / 2);
        if (s.interruption != Interruption::Removed)
            fingerprints[s.result] = Fingerprint(result.string());
    }

    const ProgramRun second = batch();
    EXPECT_EQ(second.exitCode, 1) << second.err;
    EXPECT_EQ(second.out, (out / "a.mp4").string() + "\n");
    EXPECT_NE(second.err.find("1 converted, 1 skipped, 2 failed"), std::string::npos) << second.err;
    for (const Source& s : sources) {
        EXPECT_EQ(RowOf(second.err, s.name).find(WithFolder(s.secondRow, out.string())), 15u)
            << s.name << "\n"
            << second.err;
        if (s.interruption != Interruption::Removed) {
            EXPECT_EQ(Fingerprint((out / s.result).string()), fingerprints[s.result]) << s.result;
        }
    }
}

}  // namespace
}  // namespace kestrun::e2e
