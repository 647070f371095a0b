// A tool's work place on a drive table that maps a letter to a temporary
// folder: what it refuses, how its lock keeps a second run and the sweep
// out, and that its cleanup touches nothing but the run's own files on the
// pinned volume.
#include "platform/WorkPlace.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

using namespace Platform;
namespace fs = std::filesystem;

namespace {

constexpr ToolFolder kTool{"work", "tester", "test"};
using Kind = WorkError::Kind;

class LedgerOnly {
public:
    explicit LedgerOnly(bool on) { TToolMarks::UseLedgerOnly(on); }
    ~LedgerOnly() { TToolMarks::UseLedgerOnly(false); }
};

class WorkPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.emplace(std::vector<Drive>{DriveForFolder('W', dir.Path())});
        const auto drive = FindDrive('w');
        ASSERT_TRUE(drive);
        auto pinned = PinVolume(VolumeOf(*drive));
        ASSERT_TRUE(pinned);
        volume.emplace(std::move(*pinned));
    }
    // A file made as a run makes it, written with `text`.
    static WorkError Create(WorkPlace& place, const std::string& name, const std::string& text) {
        WorkError error;
        UniqueFd fd = place.CreateFile(name, O_WRONLY, &error);
        if (fd) {
            EXPECT_EQ(::write(fd.Get(), text.data(), text.size()), ssize_t(text.size()));
        }
        return error;
    }

    TempDir dir;
    std::optional<ScopedDriveTable> table;
    std::optional<PinnedVolume> volume;
};

} // namespace

// What stands under the folder's name, or a file's, that is not the tool's
// is refused and stays as it was.
TEST_F(WorkPlaceTest, RefusesWhatIsNotItsOwn) {
    struct Case {
        const char* what;
        std::function<void()> setUp;
        Kind take;
        Kind create = Kind::None; // creating "f" once taken
        bool ledgerOnly = false;
    };
    const Case cases[] = {
        {"a link", [&] { fs::create_directory_symlink(dir / "elsewhere", dir / "work"); },
         Kind::Link},
        {"a file", [&] { dir.Write("work", "mine"); }, Kind::NotFolder},
        {"a taken file name", [&] { dir.Write("work/f", "mine"); }, Kind::None, Kind::Create},
        {"a user's ledger", [&] { dir.Write("work/.ferrovane-tester", "mine"); }, Kind::None,
         Kind::MarkFile, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LedgerOnly mode(c.ledgerOnly);
        fs::remove_all(dir / "work");
        dir.Write("elsewhere/keep", "mine");
        c.setUp();
        const auto before = fs::symlink_status(dir / "work").type();
        {
            WorkPlace place(*volume, dir.Path(), kTool);
            const WorkError taken = place.Take();
            EXPECT_EQ(taken.kind, c.take);
            if (!taken) {
                EXPECT_EQ(Create(place, "f", "run's").kind, c.create);
            }
        }
        EXPECT_EQ(fs::symlink_status(dir / "work").type(), before);
        EXPECT_EQ(ReadAll(dir / "elsewhere/keep"), "mine");
        for (const char* name : {"work", "work/f", "work/.ferrovane-tester"})
            if (fs::is_regular_file(dir / name)) {
                EXPECT_EQ(ReadAll(dir / name), "mine") << name;
            }
    }
}

// The lock keeps a second run and the start-up sweep away from a running
// run's files; a killed run's marked files are leftovers for the next.
TEST_F(WorkPlaceTest, LockedWhileTakenAndLeftoversGoFirst) {
    ASSERT_TRUE(fs::create_directory(dir / "work"));
    TToolMarks killed(dir / "work", kTool.tool);
    ASSERT_TRUE(killed.MarkFolder());
    for (const std::string name : {"a", "b"}) {
        UniqueFd fd(::open((dir / "work/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
        ASSERT_EQ(::write(fd.Get(), name.data(), name.size()), 1);
        ASSERT_TRUE(killed.MarkFile(fd.Get(), name));
    }
    dir.Write("work/mine.txt", "mine");

    WorkPlace first(*volume, dir.Path(), kTool);
    ASSERT_FALSE(first.Take());
    ASSERT_TRUE(first.Leftovers());
    EXPECT_EQ(first.Leftovers()->files, 2u);
    EXPECT_EQ(first.Leftovers()->bytes, 2);
    EXPECT_FALSE(fs::exists(dir / "work/a"));
    ASSERT_FALSE(Create(first, "c", "run's"));

    WorkPlace second(*volume, dir.Path(), kTool);
    EXPECT_EQ(second.Take().kind, Kind::Busy);
    EXPECT_TRUE(RemoveToolLeftovers({kTool}).empty());
    EXPECT_TRUE(fs::exists(dir / "work/c"));

    // On demand the run's files go; the folder stays taken.
    EXPECT_EQ(first.RemoveOwnFiles(), 1u);
    EXPECT_TRUE(first.OnPinnedVolume());
    EXPECT_EQ(second.Take().kind, Kind::Busy);
    first.Cleanup();
    EXPECT_FALSE(first.Taken());
    EXPECT_FALSE(second.Take());
    EXPECT_EQ(ReadAll(dir / "work/mine.txt"), "mine");
}

// The end removes the run's files, and the folder when nothing else is in
// it; where another volume now covers the folder, it removes nothing, and
// the sweep finds the files once the folder is back.
TEST_F(WorkPlaceTest, CleansUpOnlyOnThePinnedVolume) {
    {
        WorkPlace place(*volume, dir.Path(), kTool);
        ASSERT_FALSE(place.Take());
        ASSERT_FALSE(Create(place, "a", "run's"));
        dir.Write("work/mine.txt", "mine");
    }
    EXPECT_EQ(fs::directory_iterator(dir / "work")->path().filename(), "mine.txt");
    fs::remove(dir / "work/mine.txt");
    {
        WorkPlace place(*volume, dir.Path(), kTool);
        ASSERT_FALSE(place.Take());
        ASSERT_FALSE(Create(place, "a", "run's"));
        place.Cleanup();
        EXPECT_FALSE(fs::exists(dir / "work"));
    }

    if (!RunningAsRoot())
        GTEST_SKIP() << "mounting over the folder needs root";
    WorkPlace place(*volume, dir.Path(), kTool);
    ASSERT_FALSE(place.Take());
    ASSERT_FALSE(Create(place, "a", "run's"));
    ASSERT_EQ(::mount("tmpfs", (dir / "work").c_str(), "tmpfs", 0, "size=1M"), 0);
    dir.Write("work/a", "another volume's");
    TToolMarks(dir / "work", kTool.tool).MarkFolder();
    EXPECT_FALSE(place.OnPinnedVolume());
    place.Cleanup();
    EXPECT_EQ(ReadAll(dir / "work/a"), "another volume's");
    ASSERT_EQ(::umount2((dir / "work").c_str(), MNT_DETACH), 0);

    EXPECT_EQ(ReadAll(dir / "work/a"), "run's");
    const auto removed = RemoveToolLeftovers({kTool});
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].files, 1u);
    EXPECT_TRUE(removed[0].folderRemoved);
    EXPECT_FALSE(fs::exists(dir / "work"));
}
