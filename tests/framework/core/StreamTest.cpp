#include "framework/core/Stream.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::vector<uint8_t> bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

// A stream that accepts nothing and yields nothing, as a full disk or a dry pipe would.
class DeadStream : public TStream {
public:
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};

} // namespace

TEST(MemoryStream, ReadReturnsWhatIsLeftAtTheEnd)
{
    TMemoryStream s(bytes("abcdef"));
    char buffer[8] = {};
    EXPECT_EQ(s.Read(buffer, 4), 4u);
    EXPECT_EQ(s.Read(buffer, 4), 2u);
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(s.Read(buffer, 4), 0u);
}

TEST(MemoryStream, SeeksFromEachOrigin)
{
    TMemoryStream s(bytes("0123456789"));
    EXPECT_EQ(s.Seek(3, TSeekOrigin::soBeginning), 3);
    EXPECT_EQ(s.Seek(2, TSeekOrigin::soCurrent), 5);
    EXPECT_EQ(s.Seek(-1, TSeekOrigin::soEnd), 9);
    EXPECT_THROW(s.Seek(-11, TSeekOrigin::soEnd), EStreamError);
    EXPECT_EQ(s.Position(), 9);
}

TEST(MemoryStream, GrowsOnWriteAndFillsGapsPastTheEnd)
{
    TMemoryStream s;
    s.WriteBuffer("ab", 2);
    s.Seek(4, TSeekOrigin::soBeginning);
    s.WriteBuffer("z", 1);
    ASSERT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Memory()[0], 'a');
    EXPECT_EQ(s.Memory()[2], 0);
    EXPECT_EQ(s.Memory()[4], 'z');
}

TEST(MemoryStream, KeepsItsBytesAsItGrowsAndShowsNoStaleBytesAfterShrinking)
{
    TMemoryStream s;
    std::vector<uint8_t> expected;
    for (int block = 0; block < 4000; ++block) {
        const std::vector<uint8_t> chunk(255, static_cast<uint8_t>(block));
        s.WriteBuffer(chunk.data(), chunk.size());
        expected.insert(expected.end(), chunk.begin(), chunk.end());
    }
    s.SetPosition(1);
    s.WriteBuffer("xy", 2);
    expected[1] = 'x';
    expected[2] = 'y';
    EXPECT_EQ(s.TakeBytes(), expected);
    EXPECT_EQ(s.Size(), 0);

    s.WriteBuffer("abcdef", 6);
    s.SetSize(2);
    s.SetSize(4);
    s.SetPosition(6);
    s.WriteBuffer("z", 1);
    EXPECT_EQ(s.TakeBytes(), (std::vector<uint8_t>{'a', 'b', 0, 0, 0, 0, 'z'}));
}

TEST(MemoryStream, ReadBufferRaisesReadErrorWhenShort)
{
    TMemoryStream s(bytes("abc"));
    char buffer[4];
    try {
        s.ReadBuffer(buffer, 4);
        FAIL() << "no exception";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Erreur de lecture du flux");
    }
}

TEST(Stream, WriteBufferRaisesWriteErrorWhenNothingIsTaken)
{
    DeadStream s;
    try {
        s.WriteBuffer("x", 1);
        FAIL() << "no exception";
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), "Erreur d'écriture dans le flux");
    }
}

TEST(ReadOnlyMemoryStream, ReadsWithoutCopyAndRefusesWrites)
{
    const char data[] = "hello";
    TReadOnlyMemoryStream s(data, 5);
    char out[5];
    s.Seek(1, TSeekOrigin::soBeginning);
    EXPECT_EQ(s.Read(out, 5), 4u);
    EXPECT_THROW(s.WriteBuffer("x", 1), EWriteError);
}

TEST(FileStream, CreatesWritesAndReadsBack)
{
    TempDir dir;
    const std::string path = dir.File("f.bin");
    {
        TFileStream out(path, fmCreate);
        out.WriteBuffer("hello world", 11);
    }
    TFileStream in(path, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(in.Size(), 11);
    in.Seek(6, TSeekOrigin::soBeginning);
    char buffer[16];
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "world");
}

TEST(FileStream, OpeningAMissingFileNamesIt)
{
    TempDir dir;
    try {
        TFileStream in(dir.File("none"), fmOpenRead);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find(dir.File("none")), std::string::npos);
    }
}

TEST(FileStream, ReadingDeniesWritersThatLock)
{
    TempDir dir;
    const std::string path = dir.File("locked");
    WriteText(path, "x");
    TFileStream in(path, fmOpenRead | fmShareDenyWrite);
    const int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST(MemoryStream, CopyFromZeroCopiesTheWholeSource)
{
    TMemoryStream source(bytes("payload"));
    source.Seek(3, TSeekOrigin::soBeginning);
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, 0), 7);
    EXPECT_EQ(target.Bytes(), bytes("payload"));
}
