#include "framework/core/AtomicFile.h"
#include "framework/core/Exception.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {
mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}
} // namespace

TEST(AtomicFile, ReplacesContentAndKeepsPermissions)
{
    TempDir dir;
    const std::string path = dir.File("store");
    WriteText(path, "old");
    ::chmod(path.c_str(), 0640);
    WriteFileAtomically(path, "new");
    EXPECT_EQ(ReadText(path), "new");
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"store"});
}

TEST(AtomicFile, ReplacesTheTargetOfASymbolicLink)
{
    TempDir dir;
    WriteText(dir.File("real"), "old");
    ASSERT_EQ(::symlink("real", dir.File("link").c_str()), 0);
    WriteFileAtomically(dir.File("link"), "new");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.File("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadText(dir.File("real")), "new");
}

TEST(AtomicFile, RefusesAFileWithoutItsOwnersWritePermissionEvenForRoot)
{
    TempDir dir;
    const std::string path = dir.File("store");
    WriteText(path, "old");
    ::chmod(path.c_str(), 0444);
    EXPECT_THROW(WriteFileAtomically(path, "new"), EFCreateError);
    EXPECT_EQ(ReadText(path), "old");
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"store"});
}

TEST(AtomicFile, FailureInAMissingFolderLeavesNothing)
{
    TempDir dir;
    EXPECT_THROW(WriteFileAtomically(dir.File("no/such/file"), "x"), EFCreateError);
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

TEST(AtomicFile, ReadingAMissingFileGivesNothing)
{
    TempDir dir;
    EXPECT_FALSE(ReadFileBytes(dir.File("none")));
    EXPECT_FALSE(ReadFileBytes(dir.Path())); // a folder is not a file
}
