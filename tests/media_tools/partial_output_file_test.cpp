// The stand-ins' temporary output: renamed into place when complete, replacing only a file that
// had the name when the tool started (the one its command line asked for).
#include "base/partial_output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "common/lib_names.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

TEST(PartialOutputFile, ReplacesOnlyWhatWasThereWhenItStarted) {
    const struct {
        const char* what;
        bool before;     // the final name is taken when the tool starts
        bool meanwhile;  // someone takes it while the tool writes
        const char* expected;
    } cases[] = {
        {"a free name", false, false, "new"},
        {"the file the command line named", true, false, "new"},
        {"a file that appeared meanwhile", false, true, "someone else's"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder("kestrun-partial");
        const std::string final = folder / "out.bin";
        if (c.before) WriteWholeFile(final, "old");
        {
            standin::PartialOutputFile output(final);
            output.Open();
            output.Write("new");
            if (c.meanwhile) WriteWholeFile(final, "someone else's");
            if (c.meanwhile)
                EXPECT_THROW(output.Commit(), std::runtime_error);
            else
                output.Commit();
        }
        EXPECT_EQ(ReadWholeFile(final), c.expected);
        EXPECT_FALSE(std::filesystem::exists(final + ".partial"));
    }
}

}  // namespace
}  // namespace kestrun::test
