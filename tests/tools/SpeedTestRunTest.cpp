// The speed test's run through a recording host, presenter and log, on a
// drive table that maps letters to temporary folders and, as root, to small
// volumes of a known size.
#include "tools/speedtest/SpeedTestRun.h"
#include "../components/TestVolume.h"
#include "PrivateMounts.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "TempDir.h"
#include "platform/DriveTable.h"
#include "platform/DriveWork.h"
#include "platform/Errors.h"
#include "util/Drives.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>

using namespace SpeedTest;
using Platform::Drive;
using Platform::DriveSpace;
using Platform::ScopedDriveTable;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t MB = 1048576;
constexpr std::int64_t GB = 1073741824;

struct TestInputs : ISpeedTestInputs {
    char letter = 'c';
    std::int32_t mb = 1;
    // The drive that has the letter when the run asks, as a chooser holds it.
    std::optional<Platform::ChosenDrive> Drive() override {
        if (auto drive = Platform::FindDrive(letter))
            return Platform::ChosenDrive{std::move(*drive), {}};
        return std::nullopt;
    }
    std::int32_t TestSizeMB() override { return mb; }
};

struct TestLog : ISpeedLog {
    std::vector<std::string> lines;
    void AppendLine(const std::string& line) override { lines.push_back(line); }
    bool Holds(const std::string& start) const {
        for (const std::string& line : lines)
            if (line.rfind(start, 0) == 0)
                return true;
        return false;
    }
};

const std::string kWriteLine = "          Write speed: ";
const std::string kReadLine = "          Read speed: ";

// True when any page of the file is in the page cache.
bool AnyPageCached(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0)
        return false;
    const auto size = static_cast<std::size_t>(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    std::vector<unsigned char> pages((size + 4095) / 4096);
    bool cached = false;
    if (map != MAP_FAILED && ::mincore(map, size, pages.data()) == 0)
        for (unsigned char page : pages)
            cached = cached || (page & 1);
    if (map != MAP_FAILED)
        ::munmap(map, size);
    ::close(fd);
    return cached;
}

} // namespace

class SpeedTestRunTest : public ::testing::Test {
protected:
    // Drive `letter` rooted at `folder`, with the free space it reports.
    static Drive At(char letter, const std::string& folder, std::int64_t freeBytes,
                    std::optional<std::string> label = "Data Disk") {
        Drive d = Platform::DriveForFolder(letter, folder);
        d.space = DriveSpace{freeBytes, 100 * GB};
        d.label = std::move(label);
        return d;
    }

    RunOutcome Run() {
        SpeedTestRun run(host, inputs, log);
        std::size_t next = 0;
        run.SetClock([this, next]() mutable {
            const std::uint32_t now = next < ticks.size() ? ticks[next] : ticks.back();
            if (onTick)
                onTick(next);
            ++next;
            return now;
        });
        if (openUnbuffered)
            run.SetOpenUnbuffered(openUnbuffered);
        if (freeSpace)
            run.SetFreeSpace(freeSpace);
        run.SetPumpInterval(pumpInterval);
        return run.Execute();
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const ShownMessage& m : presenter.shown)
            texts.push_back(m.text);
        return texts;
    }

    TempDir dir;
    RecordingTaskHost host;
    RecordingPresenter presenter;
    TestInputs inputs;
    TestLog log;
    // Write start and end, read start and end.
    std::vector<std::uint32_t> ticks = {1000, 1003, 2000, 2008};
    std::function<void(std::size_t)> onTick;
    std::function<Platform::File(const std::string&)> openUnbuffered;
    std::function<std::int64_t(const Drive&)> freeSpace;
    // Within a phase the window gets no turn unless a test asks for it.
    std::uint64_t pumpInterval = UINT64_MAX;
};

TEST_F(SpeedTestRunTest, NormalRunLogsTheBlockAndLeavesNothing) {
    ScopedDriveTable table({At('C', dir.Path(), 5 * GB + GB / 4)});
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{"", "", "Drive C:   -   [data disk]", "Free space: 5.25GB",
                                        "OS buffer: disabled", "", kWriteLine + "333.3MB/sec",
                                        kReadLine + "125MB/sec"}));
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"Writing...", "Reading...", "Done"}));
    EXPECT_EQ(host.events.front(), "BeginTask");
    EXPECT_FALSE(host.busy);
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(SpeedTestRunTest, SpeedTexts) {
    EXPECT_EQ(SpeedText(128 * MB, 1000, 1), "128MB/sec");
    EXPECT_EQ(SpeedText(638 * MB, 3000, 1), "212.6MB/sec");
    EXPECT_EQ(SpeedText(50000 * MB, 4000, 2), "12500MB/sec"); // 64-bit sizes
    // Under the clock's resolution: a lower bound, never a division by zero.
    EXPECT_EQ(SpeedText(MB, 0, 2), ">1000MB/sec");
}

TEST_F(SpeedTestRunTest, TestSizeAgainstFreeSpace) {
    struct Case {
        std::int32_t mb;
        std::int64_t free;
        RunOutcome outcome;
    };
    for (const Case& c : {Case{1, MB, RunOutcome::Done}, Case{1, MB - 1, RunOutcome::Declined},
                          Case{2048, 2048 * MB - 1, RunOutcome::Declined},
                          Case{50000, 50000 * MB - 1, RunOutcome::Declined}}) {
        SCOPED_TRACE(std::to_string(c.mb) + " MB, " + std::to_string(c.free) + " free");
        log.lines.clear();
        presenter.shown.clear();
        host.statuses.clear();
        inputs.mb = c.mb;
        ScopedDriveTable table({At('C', dir.Path(), c.free)});
        EXPECT_EQ(Run(), c.outcome);
        const bool ran = c.outcome == RunOutcome::Done;
        EXPECT_EQ(log.Holds(kWriteLine), ran);
        EXPECT_EQ(Messages(),
                  ran ? std::vector<std::string>{} : std::vector<std::string>{kNoSpaceMessage});
        EXPECT_EQ(host.Status(), "Done");
        EXPECT_TRUE(fs::is_empty(dir.Path()));
    }
}

// The window's Cancel between the phases or within one (the window gets its
// turn within a phase too), and a stop signal to the command line, seen
// without the window's messages. A run stops at the first check after the
// request and removes its file.
TEST_F(SpeedTestRunTest, CancelBetweenOrWithinThePhases) {
    ScopedDriveTable table({At('C', dir.Path(), GB)});
    struct Case {
        const char* what;
        bool windowInPhases;
        std::function<bool(const RecordingTaskHost&)> cancelAtPump; // else at tick
        int tick;
        bool writeLine;
    };
    const auto reading = [](const RecordingTaskHost& h) { return h.Status() == kReadingStatus; };
    const Case cases[] = {
        {"window, between the phases", false, [](const auto&) { return true; }, -1, true},
        {"window, within the write", true, [](const auto&) { return true; }, -1, false},
        {"window, within the read", true, reading, -1, true},
        {"signal, at the write's start", false, nullptr, 0, false},
        {"signal, at the read's start", false, nullptr, 2, true},
    };
    inputs.mb = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = RecordingTaskHost();
        log.lines.clear();
        pumpInterval = c.windowInPhases ? 0 : UINT64_MAX;
        int pumpsAtCancel = -1;
        host.onPump = [&] {
            if (pumpsAtCancel < 0 && c.cancelAtPump && c.cancelAtPump(host)) {
                host.cancel = true;
                pumpsAtCancel = host.pumps;
            }
        };
        onTick = [&](std::size_t at) { host.cancel = host.cancel || int(at) == c.tick; };
        EXPECT_EQ(Run(), RunOutcome::Canceled);
        if (c.cancelAtPump) {
            EXPECT_EQ(host.pumps, pumpsAtCancel) << "the run went on after Cancel";
        }
        EXPECT_EQ(log.Holds(kWriteLine), c.writeLine);
        EXPECT_FALSE(log.Holds(kReadLine));
        EXPECT_EQ(host.Status(), "  CANCELED!");
        EXPECT_FALSE(host.busy);
        EXPECT_TRUE(fs::is_empty(dir.Path()));
    }
}

// A second run on the same volume (another window, the command line) while
// the first is between its phases: it neither takes nor removes the first's
// file, and says why it does not run.
TEST_F(SpeedTestRunTest, ASecondRunLeavesTheFirstsFileAlone) {
    ScopedDriveTable table({At('C', dir.Path(), GB)});
    std::optional<RunOutcome> second;
    bool fileStayed = false;
    host.onPump = [&] {
        RecordingTaskHost otherHost;
        TestLog otherLog;
        second = SpeedTestRun(otherHost, inputs, otherLog).Execute();
        fileStayed = fs::exists(dir / "speedtest/SpeedTest.bin");
    };
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(second, RunOutcome::Failed);
    EXPECT_TRUE(fileStayed);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Another run is using the folder \"" +
                                                   (dir / "speedtest") + "\"."});
    EXPECT_TRUE(log.Holds(kReadLine));
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(SpeedTestRunTest, UsersOwnSpeedtestFolderAndFilesSurvive) {
    ScopedDriveTable table({At('C', dir.Path(), GB)});
    dir.Write("speedtest/notes.txt", "mine");
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(ReadAll(dir / "speedtest/notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(dir / "speedtest/SpeedTest.bin"));

    // A file of the test's name that the test did not make is neither
    // replaced nor removed.
    log.lines.clear();
    dir.Write("speedtest/SpeedTest.bin", "also mine");
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_EQ(ReadAll(dir / "speedtest/SpeedTest.bin"), "also mine");
    EXPECT_FALSE(log.Holds(kWriteLine));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_NE(presenter.shown[0].text.find("was not made by the speed test"), std::string::npos);
    EXPECT_EQ(host.Status(), "  FAILED!");
}

TEST_F(SpeedTestRunTest, LeftoversOfAKilledRunGo) {
    for (const bool ledger : {false, true}) {
        SCOPED_TRACE(ledger ? "ledger" : "attribute");
        Platform::TToolMarks::UseLedgerOnly(ledger);
        // What a run killed in the write phase leaves behind.
        ASSERT_TRUE(fs::create_directory(dir / "speedtest"));
        Platform::TToolMarks marks(dir / "speedtest", kToolName);
        ASSERT_TRUE(marks.MarkFolder());
        const int fd = ::open((dir / "speedtest/SpeedTest.bin").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(marks.MarkFile(fd, kTestFileName));
        ::close(fd);

        ScopedDriveTable table({At('C', dir.Path(), GB)});
        EXPECT_EQ(Run(), RunOutcome::Done);
        EXPECT_TRUE(presenter.shown.empty());
        EXPECT_TRUE(fs::is_empty(dir.Path()));
    }
    Platform::TToolMarks::UseLedgerOnly(false);
}

TEST_F(SpeedTestRunTest, LinkedOrFileSpeedtestIsRefused) {
    ScopedDriveTable table({At('C', dir.Path(), GB)});
    dir.Write("elsewhere/keep.txt", "kept");
    fs::create_directory_symlink(dir / "elsewhere", dir / "speedtest");
    EXPECT_EQ(Run(), RunOutcome::Failed);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_NE(presenter.shown[0].text.find("is a symbolic link"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(dir / "speedtest"));
    EXPECT_EQ(fs::directory_iterator(dir / "elsewhere")->path().filename(), "keep.txt");
    EXPECT_EQ(ReadAll(dir / "elsewhere/keep.txt"), "kept");

    fs::remove(dir / "speedtest");
    dir.Write("speedtest", "a file");
    EXPECT_EQ(Run(), RunOutcome::Failed);
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_NE(presenter.shown[1].text.find("is a file, not a folder"), std::string::npos);
    EXPECT_EQ(ReadAll(dir / "speedtest"), "a file");
    EXPECT_FALSE(log.Holds(kWriteLine));
    EXPECT_EQ(host.Status(), "  FAILED!");
}

TEST_F(SpeedTestRunTest, TheDriveStaysFixedWhenTheLettersMove) {
    TempDir other;
    ScopedDriveTable table({At('C', dir.Path(), GB)});
    std::optional<ScopedDriveTable> moved;
    // A volume mounted between the phases takes the letter C:.
    host.onPump = [&] {
        moved.emplace(std::vector<Drive>{At('C', other.Path(), GB), At('D', dir.Path(), GB)});
    };
    bool readFromPinned = false;
    onTick = [&](std::size_t tick) {
        if (tick == 2)
            readFromPinned = fs::exists(dir / "speedtest/SpeedTest.bin");
    };
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_TRUE(readFromPinned);
    EXPECT_TRUE(log.Holds(kReadLine));
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    EXPECT_TRUE(fs::is_empty(other.Path()));
}

TEST_F(SpeedTestRunTest, UnbufferedReadsRefusedStillBypassTheCache) {
    ScopedDriveTable table({At('C', dir.Path(), GB)});
    openUnbuffered = [](const std::string& path) -> Platform::File {
        throw FileOpenError("Cannot open file \"" + path + "\". Invalid argument", EINVAL);
    };
    bool cachedAtStart = true;
    onTick = [&](std::size_t tick) {
        if (tick == 2)
            cachedAtStart = AnyPageCached(dir / "speedtest/SpeedTest.bin");
    };
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_TRUE(log.Holds(kReadLine + "125MB/sec"));
    struct statfs fsInfo {};
    ASSERT_EQ(::statfs(dir.Path().c_str(), &fsInfo), 0);
    // A tmpfs keeps its files in the page cache: there is nothing to drop.
    if (fsInfo.f_type != TMPFS_MAGIC) {
        EXPECT_FALSE(cachedAtStart);
    }
}

TEST_F(SpeedTestRunTest, AnUnreadableTestFileIsReportedWithoutASpeed) {
    ScopedDriveTable table({At('C', dir.Path(), GB)});
    openUnbuffered = [](const std::string& path) -> Platform::File {
        throw FileOpenError("Cannot open file \"" + path + "\". Permission denied", EACCES);
    };
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_TRUE(log.Holds(kWriteLine));
    EXPECT_FALSE(log.Holds(kReadLine));
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"Cannot open file \"" + dir.Path() +
                                       "/speedtest/SpeedTest.bin\". Permission denied"});
    EXPECT_EQ(host.Status(), "  FAILED!");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(SpeedTestRunTest, NoDriveOrADriveThatIsNotThere) {
    inputs.letter = 0;
    EXPECT_EQ(Run(), RunOutcome::Declined);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(Messages(), std::vector<std::string>{kNoDriveMessage});

    inputs.letter = 'd';
    ScopedDriveTable table({At('D', dir / "gone", 0, std::nullopt)});
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"", "", "Drive D:   -   []", "Free space: 0GB",
                                                   "OS buffer: disabled", ""}));
    EXPECT_EQ(Messages().back(), "Drive D: is not ready.");
    EXPECT_FALSE(host.busy);
}

// ---- On real volumes (root) --------------------------------------------------

TEST_F(SpeedTestRunTest, RealTmpfsOfTheTestSize) {
    if (!MayMount())
        GTEST_SKIP() << "mounting a tmpfs needs root or a user namespace";
    for (const std::int32_t mb : {2, 3}) {
        SCOPED_TRACE(std::to_string(mb) + " MB on 2 MB");
        std::string why;
        const auto volume = TestVolume::Tmpfs(2 * MB, false, &why);
        if (!volume)
            GTEST_SKIP() << why;
        Drive d = Platform::DriveForFolder('D', volume->MountPoint());
        d.label = "";
        ScopedDriveTable table({d});
        inputs.letter = 'd';
        inputs.mb = mb;
        log.lines.clear();
        presenter.shown.clear();
        EXPECT_EQ(Run(), mb == 2 ? RunOutcome::Done : RunOutcome::Declined);
        EXPECT_EQ(log.lines.at(3), "Free space: 0.00GB"); // 2 MB, cut, not a whole number
        EXPECT_EQ(log.Holds(kReadLine), mb == 2);
        EXPECT_TRUE(fs::is_empty(volume->MountPoint()));
    }
}

// Sectors read and written so far by the block device behind a mount point.
std::pair<std::uint64_t, std::uint64_t> DeviceSectors(const std::string& device) {
    const std::string name = device.substr(device.rfind('/') + 1);
    std::ifstream stat("/sys/block/" + name + "/stat");
    std::uint64_t field[7] = {};
    for (std::uint64_t& f : field)
        stat >> f;
    return {field[2], field[6]};
}

TEST_F(SpeedTestRunTest, BothPhasesAreTimedToTheDrive) {
    if (!RunningAsRoot())
        GTEST_SKIP() << "mounting a loop volume needs root";
    std::string why;
    const auto volume = TestVolume::Ext4("timed", false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const Drive d = Platform::DriveForFolder('D', volume->MountPoint());
    ASSERT_EQ(d.device.rfind("/dev/loop", 0), 0u) << d.device;
    ScopedDriveTable table({d});
    inputs.letter = 'd';
    inputs.mb = 2;
    // What the device saw between the clock readings of each phase.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> sectors;
    onTick = [&](std::size_t) { sectors.push_back(DeviceSectors(d.device)); };
    EXPECT_EQ(Run(), RunOutcome::Done);
    ASSERT_EQ(sectors.size(), 4u);
    EXPECT_GE(sectors[1].second - sectors[0].second, 2u * 2048); // written: 2 MB
    EXPECT_GE(sectors[3].first - sectors[2].first, 2u * 2048);   // read: 2 MB
    EXPECT_TRUE(presenter.shown.empty());
}

// The free space was there when the run looked; someone took it since. The
// volume's refusal comes when the file's blocks are reserved, before the
// clock starts: the warning of a test size over the free space, nothing
// timed, nothing left.
TEST_F(SpeedTestRunTest, AVolumeThatCannotTakeTheFileIsRefusedBeforeTheClock) {
    if (!MayMount())
        GTEST_SKIP() << "mounting a tmpfs needs root or a user namespace";
    std::string why;
    const auto volume = TestVolume::Tmpfs(1 * MB, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    Drive d = Platform::DriveForFolder('D', volume->MountPoint());
    d.space = DriveSpace{64 * MB, 64 * MB};
    ScopedDriveTable table({d});
    inputs.letter = 'd';
    inputs.mb = 4;
    int clockReadings = 0;
    onTick = [&](std::size_t) { ++clockReadings; };
    EXPECT_EQ(Run(), RunOutcome::Declined);
    EXPECT_EQ(Messages(), std::vector<std::string>{kNoSpaceMessage});
    EXPECT_EQ(clockReadings, 0);
    EXPECT_FALSE(log.Holds(kWriteLine));
    EXPECT_EQ(host.Status(), "Done");
    EXPECT_FALSE(host.busy);
    EXPECT_TRUE(fs::is_empty(volume->MountPoint()));
}

// A test size equal to the free space the log shows runs on ext4: that
// figure is taken once the work folder is there, and the file's blocks,
// its bookkeeping included, are reserved before the clock starts.
TEST_F(SpeedTestRunTest, ATestSizeEqualToTheLoggedFreeSpaceRunsOnExt4) {
    if (!RunningAsRoot())
        GTEST_SKIP() << "mounting a loop volume needs root";
    constexpr std::int32_t kSizeMB = 256;
    std::string why;
    const auto volume = TestVolume::Ext4("equal", false, &why, 330);
    if (!volume)
        GTEST_SKIP() << why;
    ScopedDriveTable table({Platform::DriveForFolder('D', volume->MountPoint())});
    inputs.letter = 'd';
    inputs.mb = kSizeMB;
    const std::string root = volume->MountPoint();
    // Where the run asks, the volume is made to have exactly the test size
    // free for the user: the rest goes to a file of the user's.
    bool folderThere = false;
    freeSpace = [&](const Drive& drive) {
        folderThere = fs::is_directory(root + "/speedtest");
        const std::int64_t free = QuillTPU::VolumeFreeSpace(drive);
        const int fd = ::open((root + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
        EXPECT_EQ(::posix_fallocate(fd, 0, free - kSizeMB * MB), 0);
        ::close(fd);
        return QuillTPU::VolumeFreeSpace(drive);
    };
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_TRUE(folderThere) << "the free space was taken before the work folder was made";
    EXPECT_EQ(log.lines.at(3), "Free space: 0.25GB");
    EXPECT_TRUE(log.Holds(kReadLine));
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_FALSE(fs::exists(root + "/speedtest"));
}
