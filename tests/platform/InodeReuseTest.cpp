// The ledger names a tool's file by device, inode and birth time. A user's
// file that takes the node of a deleted file of the tool's must stay the
// user's: here the node really is reused, on a small ext4 volume (which
// hands a freed node out again at once).
#include "platform/DriveWork.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using Platform::TToolMarks;

TEST(ToolLedger, AUserFileOnAReusedNodeStaysTheUsers) {
    if (!RunningAsRoot())
        GTEST_SKIP() << "mounting an ext4 image needs root";
    TempDir dir;
    const std::string image = dir / "image";
    const std::string volume = dir / "volume";
    // Large inodes keep birth times.
    const std::string make =
        "truncate -s 8M '" + image + "' && mkfs.ext4 -q -I 256 '" + image + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << "mkfs.ext4 failed";
    ASSERT_EQ(::mkdir(volume.c_str(), 0755), 0);
    if (std::system(("mount -o loop '" + image + "' '" + volume + "' >/dev/null 2>&1").c_str()) !=
        0)
        GTEST_SKIP() << "cannot mount a loop volume (needs loop devices)";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{volume};

    TToolMarks::UseLedgerOnly(true);
    struct Restore {
        ~Restore() { TToolMarks::UseLedgerOnly(false); }
    } restore;
    const std::string work = volume + "/wipe";
    ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
    TToolMarks marks(work, "wipe");
    const std::string path = work + "/1";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(marks.MarkFile(fd, "1"));
    ::close(fd);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_EQ(::unlink(path.c_str()), 0);

    dir.Write("volume/wipe/1", "mine");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    ASSERT_EQ(after.st_ino, before.st_ino) << "the node was not reused; the case tests nothing";
    EXPECT_FALSE(marks.IsOwnFile("1"));
    EXPECT_EQ(marks.RemoveOwn(), 0u);
    EXPECT_EQ(ReadAll(path), "mine");
}
