#include "platform/DriveWork.h"
#include "platform/VolumeQuery.h"

#include "PrivateMounts.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>

using namespace Platform;

namespace {

// Creates a file the way a tool does and marks it.
void CreateOwn(TToolMarks& marks, const std::string& name, const std::string& content = "x") {
    const std::string path = marks.Folder() + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ASSERT_TRUE(marks.MarkFile(fd, name));
    ::close(fd);
}

class LedgerOnly {
public:
    explicit LedgerOnly(bool on) { TToolMarks::UseLedgerOnly(on); }
    ~LedgerOnly() { TToolMarks::UseLedgerOnly(false); }
};

} // namespace

// The same promises with the attribute and with the ledger: only what the
// tool created goes, never a user's file under a tool's name, never through
// a link, and the folder only when it is the tool's and empty.
TEST(ToolMarks, RemovesOnlyWhatTheToolCreated) {
    for (const bool ledger : {false, true}) {
        SCOPED_TRACE(ledger ? "ledger" : "attribute");
        LedgerOnly mode(ledger);
        TempDir dir;
        const std::string work = dir / "wp_binary";
        ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
        TToolMarks marks(work + "/", "wipe");
        ASSERT_TRUE(marks.MarkFolder());
        EXPECT_TRUE(marks.IsOwnFolder());
        CreateOwn(marks, "1");
        CreateOwn(marks, "name with blanks");
        dir.Write("wp_binary/2", "user"); // the user's, under a tool's name
        const std::string outside = dir.Write("keep.txt", "user data");
        ASSERT_EQ(::symlink(outside.c_str(), (work + "/3").c_str()),
                  0); // a link is never the tool's
        EXPECT_TRUE(marks.IsOwnFile("1"));
        EXPECT_FALSE(marks.IsOwnFile("2"));
        EXPECT_FALSE(marks.IsOwnFile("3"));
        // Another tool's mark is not this tool's.
        EXPECT_FALSE(TToolMarks(work, "speedtest").IsOwnFile("1"));

        EXPECT_EQ(marks.RemoveOwn(), 2u);
        EXPECT_FALSE(std::filesystem::exists(work + "/1"));
        EXPECT_EQ(ReadAll(work + "/2"), "user");
        EXPECT_TRUE(std::filesystem::is_symlink(work + "/3"));
        EXPECT_EQ(ReadAll(outside), "user data");
        // The user's files keep the folder, and it stays known as the tool's.
        EXPECT_TRUE(marks.IsOwnFolder());

        ::unlink((work + "/2").c_str());
        ::unlink((work + "/3").c_str());
        EXPECT_EQ(marks.RemoveOwn(), 0u);
        EXPECT_FALSE(std::filesystem::exists(work));
    }
}

TEST(ToolMarks, UserFolderStaysAndAReplacedFileIsNotTheTools) {
    for (const bool ledger : {false, true}) {
        SCOPED_TRACE(ledger ? "ledger" : "attribute");
        LedgerOnly mode(ledger);
        TempDir dir;
        const std::string work = dir / "speedtest";
        ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
        TToolMarks marks(work, "speedtest");
        EXPECT_FALSE(marks.IsOwnFolder());
        CreateOwn(marks, "SpeedTest.bin");
        // The user replaced the tool's file by one of their own.
        ::unlink((work + "/SpeedTest.bin").c_str());
        dir.Write("filler", std::string(10, 'f')); // keeps the old inode from coming back
        dir.Write("speedtest/SpeedTest.bin", "mine");
        EXPECT_FALSE(marks.IsOwnFile("SpeedTest.bin"));
        EXPECT_EQ(marks.RemoveOwn(), 0u);
        EXPECT_EQ(ReadAll(work + "/SpeedTest.bin"), "mine");
        EXPECT_FALSE(std::filesystem::exists(work + "/" + marks.LedgerName()));
        EXPECT_TRUE(std::filesystem::is_directory(work));
    }
}

// The ledger is the tool's only when the tool made it. A file of its name
// that the tool did not make (the user's notes, a list in the ledger's own
// form, a copy of a real ledger) marks nothing and is never changed.
TEST(ToolMarks, AListFileTheToolDidNotMakeMarksNothing) {
    LedgerOnly mode(true);
    const char* const kinds[] = {"notes", "lines in the list's form", "a copy of a real ledger"};
    for (const std::string kind : kinds) {
        SCOPED_TRACE(kind);
        TempDir dir;
        const std::string work = dir / "wp_binary";
        ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
        TToolMarks marks(work, "wipe");
        const std::string list = work + "/" + marks.LedgerName();
        CreateOwn(marks, "1");
        struct stat st {};
        ASSERT_EQ(::stat((work + "/1").c_str(), &st), 0);
        std::string text;
        if (kind == "notes") {
            text = "my notes\n";
        } else if (kind == "lines in the list's form") {
            struct statx sx {};
            ASSERT_EQ(::statx(AT_FDCWD, (work + "/1").c_str(), 0, STATX_BTIME, &sx), 0);
            text = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " +
                   std::to_string(sx.stx_btime.tv_sec * 1000000000ull + sx.stx_btime.tv_nsec) +
                   " 1\n";
        } else {
            text = ReadAll(list);
        }
        // Written beside the list and moved over it, as an editor saves.
        ASSERT_EQ(::rename(dir.Write("saved", text).c_str(), list.c_str()), 0);

        EXPECT_FALSE(marks.IsOwnFile("1"));
        EXPECT_EQ(marks.RemoveOwn(), 0u);
        const int fd = ::open((work + "/2").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        int error = 0;
        EXPECT_FALSE(marks.MarkFile(fd, "2", &error));
        EXPECT_EQ(error, EEXIST);
        ::close(fd);
        EXPECT_EQ(ReadAll(list), text);
        EXPECT_TRUE(std::filesystem::exists(work + "/1"));
    }
}

namespace {

// The drive that has this letter now, pinned by its volume.
std::optional<PinnedVolume> PinLetter(char letter) {
    const auto drive = FindDrive(letter);
    return drive ? PinVolume(VolumeOf(*drive)) : std::nullopt;
}

} // namespace

TEST(DriveWork, WorkingPlaceAndPinnedVolume) {
    TempDir dir;
    ScopedDriveTable table({DriveForFolder('Q', dir.Path())});
    const auto volume = PinLetter('q');
    ASSERT_TRUE(volume);
    EXPECT_EQ(WorkingPlace(*volume), dir.Path() + "/");
    EXPECT_TRUE(StillMounted(*volume));
    EXPECT_FALSE(PinLetter('R'));
    {
        // A volume that stopped answering (a network volume whose server is
        // gone) is neither pinned nor taken as still mounted, and nobody waits.
        auto answer = std::make_shared<std::promise<void>>();
        std::shared_future<void> released = answer->get_future().share();
        ScopedVolumeQuery hangs(
            [released](const std::string&, int*) {
                released.wait();
                return std::optional<VolumeBlocks>();
            },
            std::chrono::milliseconds(50));
        EXPECT_FALSE(QueryVolumeBlocks(dir.Path()));
        EXPECT_FALSE(PinLetter('Q'));
        EXPECT_FALSE(StillMounted(*volume));
        answer->set_value();
    }
    for (int i = 0; i < 200 && !PinLetter('Q'); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(PinLetter('Q'));

    if (!MayMount())
        GTEST_SKIP() << "mounting over the folder needs root or a user namespace";
    // A volume mounted over the drive's folder is another volume.
    ASSERT_EQ(::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=1M"), 0);
    EXPECT_FALSE(StillMounted(*volume));
    ::umount2(dir.Path().c_str(), MNT_DETACH);

    // A read-only volume has no place to work in; the other candidates lie
    // on other volumes.
    ASSERT_EQ(::mount("tmpfs", dir.Path().c_str(), "tmpfs", MS_RDONLY, "size=1M"), 0);
    const auto readOnly = PinLetter('Q');
    ASSERT_TRUE(readOnly);
    EXPECT_FALSE(WorkingPlace(*readOnly));
    ::umount2(dir.Path().c_str(), MNT_DETACH);
}
