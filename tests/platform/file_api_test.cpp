#include "platform/file_api.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::TempFolder;
using Names = std::vector<std::string>;

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileSize, MissingAndReadOnlyFilesReportTheInvalidSize) {
    TempFolder scratch;
    const std::string empty = scratch.Write("empty.mp4");
    const std::string full = scratch.Write("movie.aac", std::string(12345, 'x'));
    const std::string readOnly = scratch.Write("read-only.mp4", "data");
    chmod(readOnly.c_str(), 0444);

    FileHandle handle = kInvalidHandle;
    std::int64_t size = -7;
    OpenFileForSize(empty, handle, size);
    EXPECT_NE(handle, kInvalidHandle);
    EXPECT_EQ(size, 0);
    CloseFileHandle(handle);

    OpenFileForSize(scratch / "missing.mp4", handle, size);
    EXPECT_EQ(handle, kInvalidHandle);
    EXPECT_EQ(size, 4294967295LL);
    CloseFileHandle(handle);  // harmless

    EXPECT_EQ(FileSizeForOutput(full), 12345);
    EXPECT_EQ(FileSizeForOutput(readOnly), kInvalidFileSize);  // also for the superuser
    EXPECT_EQ(FileSizeForOutput(scratch.path().string()), kInvalidFileSize);
    EXPECT_EQ(SizeFromHandle(kInvalidHandle), kInvalidFileSize);
}

TEST(FileSize, SizeFromHalvesTakesTheLowHalfUnsigned) {
    EXPECT_EQ(SizeFromHalves(-1, 0), 4294967295LL);
    EXPECT_EQ(SizeFromHalves(0, 1), 4294967296LL);
    EXPECT_EQ(SizeFromHalves(5, 2), 8589934597LL);
    EXPECT_EQ(SizeFromHalves(0, 0), 0);
}

TEST(FileSize, FilesAboveFourGigabytesKeepTheirSize) {
    TempFolder scratch;
    const std::string sparse = scratch.Write("big.mkv");
    ASSERT_EQ(truncate(sparse.c_str(), 5000000000LL), 0);
    EXPECT_EQ(FileSizeForOutput(sparse), 5000000000LL);
}

TEST(Attributes, FolderFileReadOnlyAndHidden) {
    TempFolder scratch;
    const std::string readOnly = scratch.Write("locked.ac3");
    chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(AttributesOf(scratch.MakeFolder("split")), kAttrFolder);
    EXPECT_EQ(AttributesOf(scratch.MakeFolder(".cache")), kAttrFolder | kAttrHidden);
    EXPECT_EQ(AttributesOf(scratch.Write("movie.h264")), kAttrArchive);
    EXPECT_EQ(AttributesOf(scratch.Write(".hidden")), kAttrArchive | kAttrHidden);
    EXPECT_EQ(AttributesOf(readOnly), kAttrArchive | kAttrReadOnly);
    EXPECT_TRUE(IsReadOnlyFile(readOnly));
    EXPECT_FALSE(IsReadOnlyFile(scratch / "movie.h264"));
}

TEST(Attributes, OnlyTheLowFolderWordsCountAsFolders) {
    for (std::uint32_t word = 16; word <= 23; ++word) EXPECT_TRUE(IsFolderAttr(word)) << word;
    for (std::uint32_t word : {0u, 1u, 15u, 24u, 32u, 48u, 49u, 0x410u}) {
        EXPECT_FALSE(IsFolderAttr(word)) << word;
    }
}

TEST(Wildcard, WindowsRulesWithoutCase) {
    EXPECT_TRUE(MatchesWildcard("*.mkv", "A.MKV"));
    EXPECT_TRUE(MatchesWildcard("*.MKV", "film d'été.mkv"));
    EXPECT_FALSE(MatchesWildcard("*.mkv", "film.mkv.part"));
    EXPECT_FALSE(MatchesWildcard("*.mkv", "film.mk"));
    EXPECT_TRUE(MatchesWildcard("*.*", "README"));
    EXPECT_TRUE(MatchesWildcard("*.*", ".hidden"));
    EXPECT_TRUE(MatchesWildcard("movie.*", "movie"));
    EXPECT_TRUE(MatchesWildcard("movie?.wav", "movie2.wav"));
    EXPECT_TRUE(MatchesWildcard("?té.mkv", "été.mkv")) << "'?' is one letter, not one byte";
    EXPECT_TRUE(MatchesWildcard("ÉTÉ.MKV", "été.mkv"));
    EXPECT_TRUE(MatchesWildcard("ФИЛЬМ.mkv", "фильм.MKV"));
    EXPECT_FALSE(MatchesWildcard("movie?.wav", "movie.wav"));
    EXPECT_FALSE(MatchesWildcard("", "anything"));
}

class ListingTest : public ::testing::Test {
protected:
    TempFolder scratch;
};

TEST_F(ListingTest, FolderWithTrailingSeparatorListsEveryFileHiddenOnesIncluded) {
    scratch.Write("A.MKV");
    scratch.Write(".hidden.mkv");
    scratch.Write("notes");
    scratch.MakeFolder("split");
    scratch.MakeFolder("sub.mkv");
    EXPECT_EQ(Sorted(ListFiles(scratch.path().string() + "/")),
              (Names{".hidden.mkv", "A.MKV", "notes"}));
    EXPECT_EQ(Sorted(ListFiles(scratch.path().string() + "/*.mkv")),
              (Names{".hidden.mkv", "A.MKV"}));
}

TEST_F(ListingTest, NothingFoundIsOneEmptyElement) {
    scratch.MakeFolder("one");
    scratch.MakeFolder("two");
    EXPECT_EQ(ListFiles(scratch.path().string() + "/"), Names{""}) << "only sub-folders";
    EXPECT_EQ(ListFiles(scratch.path().string()), Names{""}) << "a folder named without '/'";
    EXPECT_EQ(ListFiles(scratch / "missing/"), Names{""});
    EXPECT_EQ(ListFiles(scratch.path().string() + "/*.mkv"), Names{""});
    scratch.Write("only.mkv");
    EXPECT_EQ(ListFiles(scratch.path().string() + "/"), Names{"only.mkv"});
}

TEST_F(ListingTest, ComesInTheFileSystemsOrder) {
    for (const char* name : {"c.mkv", "a.mkv", "b.mkv", "d.mkv"}) scratch.Write(name);
    Names inFolderOrder;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path().string())) {
        inFolderOrder.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(ListFiles(scratch.path().string() + "/*.mkv"), inFolderOrder);
}

TEST_F(ListingTest, PathExistsSearchesLikeAFirstMatch) {
    const std::string empty = scratch.MakeFolder("empty");
    const std::string folders = scratch.MakeFolder("folders");
    scratch.MakeFolder("folders/inner");
    scratch.Write("film.MKV");

    EXPECT_TRUE(PathExists(empty + "/", true)) << "a folder's dot entry counts";
    EXPECT_FALSE(PathExists(empty + "/", false));
    EXPECT_FALSE(PathExists(folders + "/", false));
    EXPECT_TRUE(PathExists(scratch / "film.mkv", false));
    EXPECT_TRUE(PathExists(scratch / "*.mkv", false));
    EXPECT_FALSE(PathExists(scratch / "*.avi", true));
    EXPECT_TRUE(PathExists(folders, true));
    EXPECT_FALSE(PathExists(folders, false));
    EXPECT_FALSE(PathExists(scratch / "missing/", true));
    EXPECT_FALSE(PathExists("", true));
}

TEST(TrimAtNull, CutsAtTheFirstNul) {
    EXPECT_EQ(TrimAtNull(std::string("name.mkv\0\0junk", 15)), "name.mkv");
    EXPECT_EQ(TrimAtNull(std::string("\0name", 5)), "");
    EXPECT_EQ(TrimAtNull("no nul"), "no nul");
    EXPECT_EQ(TrimAtNull(""), "");
}

TEST(FileAndFolderExists, TellFilesFromFolders) {
    TempFolder scratch;
    const std::string file = scratch.Write("movie.meta");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_TRUE(FolderExists(scratch.path().string()));
    EXPECT_FALSE(FileExists(scratch.path().string()));
    EXPECT_FALSE(FileExists(scratch / "missing"));
    EXPECT_FALSE(FolderExists(""));
}

TEST(AppendLine, AddsOneLinePerCall) {
    TempFolder scratch;
    const std::string log = scratch / "debug.log";
    AppendLine(log, "\"/p/MKVToolnix/mkvextract\" tracks");
    AppendLine(log, "");
    AppendLine(log, "Ünïcode");
    EXPECT_EQ(test::ReadWholeFile(log), "\"/p/MKVToolnix/mkvextract\" tracks\n\nÜnïcode\n");
    AppendLine(scratch / "missing/debug.log", "dropped");  // no folder: nothing, no crash
}

}  // namespace
}  // namespace kestrun
