// An MP4 found in the output folder is whole only when its top-level boxes reach its last byte.
#include "analysis/result_integrity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

// A box whose header says `size` bytes, holding `payload` zero bytes.
std::string Box(const char* type, uint32_t size, size_t payload) {
    return std::string{char(size >> 24), char(size >> 16), char(size >> 8), char(size)} + type +
           std::string(payload, '\0');
}

TEST(ResultIntegrity, AnMp4IsWholeWhenItsBoxesReachItsEnd) {
    const std::string head = Box("ftyp", 16, 8) + Box("moov", 24, 16);
    // A 64-bit size of 20 after a size field of 1.
    const std::string large = Box("mdat", 1, 7) + "\x14" + std::string(4, '\0');
    const struct {
        const char* name;
        std::string content;
        const char* problem;  // empty for a whole file
    } cases[] = {
        {"whole.mp4", head + Box("mdat", 40, 32), ""},
        {"to the end.MP4", head + Box("mdat", 0, 100), ""},
        {"large.mp4", head + large, ""},
        {"cut.mp4", head + Box("mdat", 40, 20), "the file ends inside the box at byte 40 (mdat)"},
        {"cut header.mp4", head + large.substr(0, 12),
         "the file ends inside the box at byte 40 (mdat)"},
        {"bad size.mp4", head + Box("free", 4, 16), "the box size is not valid at byte 40 (free)"},
        {"other kind.mpg", head + "\1", ""},
    };
    TempFolder folder;
    for (const auto& c : cases)
        EXPECT_EQ(CutShortProblem(folder.Write(c.name, c.content)), c.problem) << c.name;
}

// A box whose size field says 0 runs to the end of the file, but the file must still hold the
// samples the index points at.
TEST(ResultIntegrity, AnMdatToTheEndMustHoldTheIndexedSamples) {
    const std::string made = FfmpegSample({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25",
                                           "-t", "2", "-c:v", "mpeg4", "-movflags", "+faststart"},
                                          "mp4");
    TempFolder folder;
    std::ifstream in(made, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t mdat = bytes.find("mdat");
    ASSERT_NE(mdat, std::string::npos);
    bytes.replace(mdat - 4, 4, std::string(4, '\0'));
    EXPECT_EQ(CutShortProblem(folder.Write("to the end.mp4", bytes)), "");
    const std::string cut = bytes.substr(0, bytes.size() - 1000);
    EXPECT_EQ(CutShortProblem(folder.Write("cut.mp4", cut)),
              "the index points at samples up to byte " + std::to_string(bytes.size()) +
                  ", the file ends at byte " + std::to_string(cut.size()));
}

}  // namespace
}  // namespace kestrun::test
