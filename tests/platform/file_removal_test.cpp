#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_api.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::TempFolder;
namespace fs = std::filesystem;

TEST(DeleteFileNoForce, DeletesOnlyWritableFiles) {
    TempFolder scratch;
    const std::string plain = scratch.Write("movie.aac", "x");
    const std::string readOnly = scratch.Write("movie.ac3", "x");
    chmod(readOnly.c_str(), 0444);
    const std::string folder = scratch.MakeFolder("movie.h264");

    EXPECT_TRUE(DeleteFileNoForce(plain));
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_FALSE(DeleteFileNoForce(readOnly)) << "no write bit: read-only even for root";
    EXPECT_TRUE(fs::exists(readOnly));
    EXPECT_FALSE(DeleteFileNoForce(folder));
    EXPECT_TRUE(fs::exists(folder));
    EXPECT_FALSE(DeleteFileNoForce(scratch / "missing.mp3"));
}

TEST(DeleteFileNoForce, RespectsPermissionsOfOrdinaryUsers) {
    if ((geteuid() == 0)) GTEST_SKIP() << "the superuser may write any file";
    TempFolder scratch;
    const std::string ownerCannotWrite = scratch.Write("movie.dts", "x");
    chmod(ownerCannotWrite.c_str(), 0464);  // others may write, we may not
    EXPECT_FALSE(DeleteFileNoForce(ownerCannotWrite));
    EXPECT_TRUE(fs::exists(ownerCannotWrite));
}

TEST(DeleteFileNoForce, RemovesALinkNeverItsTarget) {
    TempFolder scratch;
    const std::string target = scratch.Write("kept.mkv", "x");
    const std::string link = scratch / "movie.mkv";
    fs::create_symlink(target, link);
    EXPECT_TRUE(DeleteFileNoForce(link));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_TRUE(fs::exists(target));
}

TEST(DeleteTree, RemovesANestedTreeWithReadOnlyAndHiddenParts) {
    TempFolder scratch;
    const std::string split = scratch.MakeFolder("split");
    scratch.MakeFolder("split/deeper/deepest");
    scratch.Write("split/part-001.mkv", "x");
    scratch.Write("split/.hidden", "x");
    chmod(scratch.Write("split/deeper/read-only.mkv", "x").c_str(), 0444);
    scratch.Write("split/deeper/deepest/file", "x");
    chmod((split + "/deeper").c_str(), 0555);  // a read-only folder is emptied all the same
    const std::string beside = scratch.Write("movie.mp4", "keep");

    std::string error;
    EXPECT_TRUE(DeleteTree(split, &error)) << error;
    EXPECT_FALSE(fs::exists(split));
    EXPECT_TRUE(fs::exists(beside));
}

TEST(DeleteTree, NeverFollowsLinksOutOfTheTree) {
    TempFolder scratch;
    const std::string outside = scratch.MakeFolder("outside");
    const std::string precious = scratch.Write("outside/precious.mkv", "x");
    const std::string split = scratch.MakeFolder("split");
    fs::create_directory_symlink(outside, split + "/link-to-outside");
    const std::string linkedSplit = scratch / "linked-split";
    fs::create_directory_symlink(outside, linkedSplit);

    EXPECT_TRUE(DeleteTree(split));
    EXPECT_TRUE(DeleteTree(linkedSplit + "/"));
    EXPECT_FALSE(fs::exists(split));
    EXPECT_FALSE(fs::is_symlink(linkedSplit));
    EXPECT_TRUE(fs::exists(precious));
}

TEST(DeleteTree, StopsAtTheFirstFailureWithItsReason) {
    TempFolder scratch;
    std::string error;
    EXPECT_FALSE(DeleteTree(scratch / "missing", &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    const std::string file = scratch.Write("movie.mkv", "x");
    EXPECT_FALSE(DeleteTree(file, &error)) << "a file is not a folder to remove";
    EXPECT_TRUE(fs::exists(file));

    if ((geteuid() == 0)) return;  // the superuser removes from any folder
    const std::string split = scratch.MakeFolder("split");
    const std::string locked = scratch.MakeFolder("split/locked");
    scratch.Write("split/locked/piece.mkv", "x");
    chmod(scratch.path().string().c_str(), 0555);  // "split" itself cannot be removed from here
    EXPECT_FALSE(DeleteTree(split, &error));
    chmod(scratch.path().string().c_str(), 0755);
    EXPECT_NE(error.find(split), std::string::npos) << error;
}

}  // namespace
}  // namespace kestrun
