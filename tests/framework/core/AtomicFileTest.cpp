#include "framework/core/AtomicFile.h"
#include "framework/core/Exception.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST(AtomicFile, ASuccessfulWriteRemovesTheTemporariesOfDeadWritersOnly)
{
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ASSERT_GT(dead, 0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::string deadPid = std::to_string(dead), ownPid = std::to_string(::getpid());

    TempDir dir;
    const std::string path = dir.File("store");
    const struct {
        std::string name;
        bool stays;
    } cases[] = {
        {".store.tmp-" + deadPid + "-17", false},
        {".store.tmp-" + ownPid + "-18", true},  // a live writer's
        {".store.tmp-123", true},                // not a name this writer gives
        {".other.tmp-" + deadPid + "-19", true}, // another file's
        {"store.tmp-" + deadPid + "-20", true},
    };
    for (const auto& c : cases)
        WriteText(dir.File(c.name), "partial");
    WriteFileAtomically(path, "new");
    std::vector<std::string> expected{"store"};
    for (const auto& c : cases)
        if (c.stays)
            expected.push_back(c.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(dir.Path()), expected);
    EXPECT_EQ(ReadText(path), "new");
}

TEST(AtomicFile, TheFolderLockIsExclusiveBetweenProcesses)
{
    TempDir dir;
    const std::string path = dir.File("store");
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        char c = 0;
        FileLock lock(path);
        (void)!::write(fromChild[1], lock.Held() ? "L" : "N", 1);
        (void)!::read(toChild[0], &c, 1); // hold it until told
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    char state = 0;
    ASSERT_EQ(::read(fromChild[0], &state, 1), 1);
    EXPECT_EQ(state, 'L');
    const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_NE(::flock(folder, LOCK_EX | LOCK_NB), 0) << "the child holds the lock";
    ASSERT_EQ(::write(toChild[1], "x", 1), 1);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    EXPECT_EQ(::flock(folder, LOCK_EX | LOCK_NB), 0) << "released with its holder";
    ::close(folder);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        ::close(fd);
    {
        FileLock lock(path);
        EXPECT_TRUE(lock.Held());
    }
    EXPECT_TRUE(ListFolder(dir.Path()).empty()) << "a lock leaves no file";
}
