// MKVToolnix/mkvmerge: the split command line of large sources, with legacy track numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "media_tools/media_test_support.h"
#include "media_tools/samples.h"
#include "mkvmerge/legacy_merge_args.h"

namespace media_test {
namespace {

const std::string kMkvmerge = "MKVToolnix/mkvmerge";

std::vector<std::string> SortedStreamTypes(const std::string& path) {
    auto types = StreamTypes(path);
    std::sort(types.begin(), types.end());
    return types;
}

class MkvmergeSplitTest : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = RenumberedMkv();
        split_ = WorkFolder() / "split";
        std::filesystem::create_directory(split_);
    }
    void TearDown() override { std::filesystem::remove_all(split_); }

    std::string source_;
    std::string split_;
};

TEST_F(MkvmergeSplitTest, PiecesKeepTheTracksNamedByTheirNumbers) {
    // " -d 9 -a 5  -s 2 " with the sizes of a piece in kB: video, the AC-3 track and the SRT.
    const auto result = RunProgram({BuiltTool(kMkvmerge), "-o", split_ + "/source film.mkv", "-d",
                                    "9", "-a", "5", "-s", "2", source_, "--split", "20K"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto pieces = FolderNames(split_);
    ASSERT_GE(pieces.size(), 2u);
    EXPECT_EQ(pieces.front(), "source film-001.mkv");
    for (const auto& piece : pieces) {
        const std::string path = split_ + "/" + piece;
        EXPECT_EQ(SortedStreamTypes(path),
                  (std::vector<std::string>{"audio", "subtitle", "video"}));
        EXPECT_EQ(Probe(path)["codec_name"], "ac3") << piece;
        EXPECT_EQ(Probe(path, "s")["codec_name"], "subrip") << piece;
    }
}

TEST_F(MkvmergeSplitTest, WithoutSubtitleOptionEverySubtitleTrackStays) {
    const auto result = RunProgram({BuiltTool(kMkvmerge), "-o", split_ + "/x.mkv", "-d", "9", "-a",
                                    "7", source_, "--split", "1000000K"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(FolderNames(split_), std::vector<std::string>{"x-001.mkv"});
    const std::string piece = split_ + "/x-001.mkv";
    EXPECT_EQ(SortedStreamTypes(piece),
              (std::vector<std::string>{"audio", "subtitle", "subtitle", "video"}));
    EXPECT_EQ(Probe(piece)["codec_name"], "aac");
}

TEST_F(MkvmergeSplitTest, BadTrackNumbersAndSourcesWriteNoPiece) {
    const std::string empty = split_ + "/../empty source.mkv";
    WriteText(empty, "");
    const std::vector<std::vector<std::string>> lines = {
        {"-d", "1", "-a", "5", source_},  // 1 is an ID here, not a number
        {"-d", "9", "-a", "5", empty},
        {"-d", "9", "-a", "5", WorkFolder() / "gone.mkv"},
        {"-d", "9", "-a", "5"},
    };
    for (auto line : lines) {
        line.insert(line.begin(), {BuiltTool(kMkvmerge), "-o", split_ + "/x.mkv"});
        line.insert(line.end(), {"--split", "20K"});
        const auto result = RunProgram(line);
        EXPECT_EQ(result.exitCode, 2) << line[5];
        EXPECT_FALSE(result.err.empty());
        EXPECT_TRUE(FolderNames(split_).empty()) << line[5];
    }
    std::filesystem::remove(empty);
}

TEST(MkvmergeSplitSize, CountsTheCallersKilobytesOfThousandBytes) {
    EXPECT_EQ(standin::ModernSplitValue("3000000K"), "size:3000000000");
    EXPECT_EQ(standin::ModernSplitValue("size:300k"), "size:300000");
    EXPECT_EQ(standin::ModernSplitValue("2M"), "size:2000000");
    EXPECT_EQ(standin::ModernSplitValue("1G"), "size:1000000000");
    EXPECT_EQ(standin::ModernSplitValue("5000"), "size:5000");
    EXPECT_EQ(standin::ModernSplitValue("00:10:00"), "00:10:00");
    EXPECT_EQ(standin::ModernSplitValue("duration:600s"), "duration:600s");
    EXPECT_EQ(standin::ModernSplitValue("K"), "K");
    EXPECT_EQ(standin::ModernSplitValue("-5K"), "-5K");
}

TEST(MkvmergeTrackOptions, ApplyToTheNextSourceFile) {
    // Numbers are mapped through each file's own table: a.mkv numbers n as ID n + 10, b.mkv as
    // ID n + 20; number 99 exists nowhere.
    const standin::TrackIdLookup lookup = [](const std::string& source, long long number,
                                             std::string* error) -> std::optional<long long> {
        if (number == 99) {
            *error = "no track number 99 in " + source;
            return std::nullopt;
        }
        return number + (source == "a.mkv" ? 10 : 20);
    };
    const auto call = standin::TranslateLegacyMergeArgs(
        {"-o", "out.mkv", "-d", "1", "-a", "2,3", "--language", "2:eng", "a.mkv", "-s", "!4",
         "--sync", "-1:200", "--default-track", "3", "b.mkv", "--split", "10K"},
        lookup);
    ASSERT_TRUE(call.error.empty()) << call.error;
    EXPECT_EQ(call.args, (std::vector<std::string>{"-o", "out.mkv", "-d", "11", "-a", "12,13",
                                                   "--language", "12:eng", "a.mkv", "-s", "!24",
                                                   "--sync", "-1:200", "--default-track", "23",
                                                   "b.mkv", "--split", "size:10000"}));
    EXPECT_EQ(call.sources, (std::vector<std::string>{"a.mkv", "b.mkv"}));
    EXPECT_EQ(call.output, "out.mkv");

    const auto missing =
        standin::TranslateLegacyMergeArgs({"-o", "o.mkv", "-a", "99", "a.mkv"}, lookup);
    EXPECT_EQ(missing.error, "no track number 99 in a.mkv");
}

}  // namespace
}  // namespace media_test
