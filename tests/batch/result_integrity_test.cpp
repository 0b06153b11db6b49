// An MP4 found in the output folder is whole only when its top-level boxes reach its last byte.
#include "app/result_integrity.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

// A box of `size` bytes (as its header says) holding `payload` bytes of zeros.
std::string Box(const char* type, uint32_t size, size_t payload) {
    std::string box = {char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
    return box + type + std::string(payload, '\0');
}

TEST(ResultIntegrity, AnMp4IsWholeWhenItsBoxesReachItsEnd) {
    const std::string ftyp = Box("ftyp", 16, 8), moov = Box("moov", 24, 16);
    const std::string large =
        std::string("\0\0\0\1mdat", 8) + std::string(7, '\0') + "\x14" + std::string(4, '\0');
    const struct {
        const char* name;
        std::string content;
        const char* problem;  // start of the problem, empty for a whole file
    } cases[] = {
        {"whole.mp4", ftyp + moov + Box("mdat", 40, 32), ""},
        {"last box to the end.MP4", ftyp + moov + Box("mdat", 0, 100), ""},
        {"large size.mp4", ftyp + large, ""},
        {"samples cut.mp4", ftyp + moov + Box("mdat", 40, 20),
         "the file ends inside the box at byte 40 (mdat)"},
        {"header cut.mp4", ftyp + moov + std::string(2, '\0'),
         "the file ends inside the box at byte 40"},
        {"large size cut.mp4", ftyp + large.substr(0, 12),
         "the file ends inside the box at byte 16"},
        {"size too small.mp4", ftyp + Box("moov", 4, 16), "the box size is not valid at byte 16"},
        {"not an mp4.mpg", ftyp + std::string(2, '\0'), ""},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        const std::string problem = CutShortProblem(folder.Write(c.name, c.content));
        EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << c.name << ": " << problem;
        EXPECT_EQ(problem.empty(), *c.problem == '\0') << c.name << ": " << problem;
    }
}

}  // namespace
}  // namespace kestrun::test
