#include "platform/File.h"
#include "TempDir.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

using namespace Platform;

TEST(File, OpenAndCreateErrorsCarryPathAndReason) {
    TempDir dir;
    try {
        File::Open(dir / "missing", OpenMode::Read);
        FAIL() << "no error";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + dir.Path() + "/missing\". No such file or directory");
        EXPECT_EQ(e.Code(), ENOENT);
    }
    try {
        File::Create(dir / "no/folder/f");
        FAIL() << "no error";
    } catch (const FileCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir.Path() +
                                             "/no/folder/f\". No such file or directory");
    }
    // A folder is not a file, even where the system would open it.
    EXPECT_THROW(File::Open(dir.Path(), OpenMode::Read), FileOpenError);
}

TEST(File, WriteSeekReadRoundTrip) {
    TempDir dir;
    {
        File f = File::Create(dir / "f");
        f.Write("hello world", 11);
        EXPECT_EQ(f.Size(), 11);
        EXPECT_EQ(f.Seek(6, Whence::Begin), 6);
        char buf[16] = {};
        EXPECT_EQ(f.Read(buf, sizeof buf), 5u);
        EXPECT_EQ(std::string(buf), "world");
        EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
        f.Flush();
        f.Close();
        EXPECT_FALSE(f.IsOpen());
    }
    // Create empties an existing file; exclusive create refuses it.
    File::Create(dir / "f").Close();
    EXPECT_EQ(std::filesystem::file_size(dir / "f"), 0u);
    EXPECT_THROW(File::Create(dir / "f", true), FileCreateError);
}

TEST(File, MovedFromFileIsClosedAndOwnershipMoves) {
    TempDir dir;
    File a = File::Create(dir / "f");
    const int fd = a.Descriptor();
    File b = std::move(a);
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(b.Descriptor(), fd);
    b.Write("x", 1);
}

TEST(File, FullVolumeRaisesWriteErrorAndShortWriteReportsIt) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this system";
    File f = File::Open("/dev/full", OpenMode::Write);
    try {
        f.Write("abc", 3);
        FAIL() << "no error";
    } catch (const StreamWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
        EXPECT_EQ(e.Code(), ENOSPC);
    }
    int error = 0;
    EXPECT_EQ(f.WriteSome("abc", 3, &error), 0u);
    EXPECT_EQ(error, ENOSPC);
}

TEST(File, ErrorTextIsTheSystemsReason) {
    EXPECT_EQ(ErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(ErrorText(EACCES), "Permission denied");
}

TEST(File, PipesAreRefusedInsteadOfHangingTheWindow) {
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without a writer, a blocking open or read would wait for ever.
    EXPECT_THROW(File::Open(fifo, OpenMode::Read), FileOpenError);
    EXPECT_THROW(File::Open(fifo, OpenMode::Write), FileOpenError);
    EXPECT_THROW(File::Create(fifo), FileCreateError);
    // Ordinary files still block as usual after the open.
    File f = File::Create(dir / "plain");
    EXPECT_EQ(::fcntl(f.Descriptor(), F_GETFL) & O_NONBLOCK, 0);
}
