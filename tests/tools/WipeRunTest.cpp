// The free-space wipe on volumes of a known size: a tmpfs when the tests run
// as root, and always a temporary folder whose free space the test computes
// from the bytes in it (so the logic is covered without root as well).
#include "tools/wipe/WipeRun.h"
#include "../components/TestVolume.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "TempDir.h"
#include "platform/DriveTable.h"
#include "platform/DriveWork.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "tools/wipe/MemoryLimit.h"
#include "tools/wipe/WipeFolder.h"
#include "util/LeftoverStatus.h"
#include "util/Random.h"
#include "util/TaskScope.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Wipe::RunOutcome;

namespace {

constexpr std::int64_t MB = 1048576;

// The program's start-up sweep, over the tools that leave files.
std::vector<Platform::RemovedLeftovers> SweepAtStart() {
    return Platform::RemoveToolLeftovers({Wipe::kToolFolder, SpeedTest::kToolFolder});
}

struct TestInputs : Wipe::IWipeInputs {
    char16_t letter = u'v';
    std::int32_t passes = 1;
    std::int32_t bufferMB = 64;
    std::function<void()> onBufferRead;
    // The drive that has the letter when the run asks, as a chooser holds it.
    std::optional<Platform::ChosenDrive> Drive() override {
        if (auto drive = Platform::FindDrive(static_cast<char>(letter)))
            return Platform::ChosenDrive{std::move(*drive), {}};
        return std::nullopt;
    }
    std::int32_t Passes() override { return passes; }
    std::int32_t BufferSizeMB() override {
        if (onBufferRead)
            onBufferRead();
        return bufferMB;
    }
};

enum class VolumeKind { Folder, Tmpfs };

std::int64_t BytesIn(const std::string& root) {
    std::int64_t bytes = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            bytes += static_cast<std::int64_t>(it->file_size(ec));
    return bytes;
}

// "name:size" of every entry of a folder, sorted; "-" when it is not there.
std::string Listing(const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(folder, ec)))
        return "-";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string() + ":" +
                        (entry.is_regular_file() ? std::to_string(entry.file_size()) : "?"));
    std::sort(names.begin(), names.end());
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

// Written megabytes and speed count what went to the volume.
std::string Progress(int pass, std::int64_t written, std::int64_t freeMB,
                     const std::string& speed) {
    return "Pass: " + std::to_string(pass) + "    -    " + std::to_string(written) + " of " +
           std::to_string(freeMB) + ".  Speed: " + speed + "MB/sec";
}

class WipeTest : public ::testing::TestWithParam<VolumeKind> {
protected:
    // A volume of `capacity` bytes as drive V:, with a user's file of
    // `userBytes` in its root. False (the test is skipped) without root.
    bool MakeVolume(std::int64_t capacity, std::int64_t userBytes = 0) {
        std::string root = dir / "volume";
        if (GetParam() == VolumeKind::Tmpfs) {
            std::string why;
            tmpfs = TestVolume::Tmpfs(static_cast<std::uint64_t>(capacity), false, &why);
            if (!tmpfs) {
                skipReason = why;
                return false;
            }
            root = tmpfs->MountPoint();
        } else {
            fs::create_directory(root);
            simulated = capacity;
        }
        volumeRoot = root;
        table = std::make_unique<Platform::ScopedDriveTable>(
            std::vector<Platform::Drive>{Platform::DriveForFolder('V', root)});
        if (userBytes > 0) {
            std::string bytes(static_cast<std::size_t>(userBytes), 'u');
            const int fd = ::open((root + "/user.dat").c_str(), O_WRONLY | O_CREAT, 0644);
            // On a tmpfs filled to the last byte the write stops short.
            userSize = std::max<ssize_t>(::write(fd, bytes.data(), bytes.size()), 0);
            ::close(fd);
        }
        work = root + "/wp_binary";
        return true;
    }

    void DropVolume() {
        table.reset();
        tmpfs.reset();
        fs::remove_all(dir / "volume");
        simulated.reset();
        userSize = 0;
    }

    RunOutcome Run(Wipe::WipeRun::FreeSpaceQuery query = {}) {
        Wipe::WipeRun run(host, inputs);
        run.SetClock([this] { return clock += 1000; }); // every round takes a second
        if (query)
            run.SetFreeSpaceQuery(std::move(query));
        else if (simulated)
            run.SetFreeSpaceQuery([this](int*) -> std::optional<std::int64_t> {
                return std::max<std::int64_t>(*simulated - BytesIn(volumeRoot), 0);
            });
        const RunOutcome outcome = run.Execute();
        bytesPerPass = run.BytesPerPass();
        return outcome;
    }

    // At every PumpMessages (after a round's write), the work folder's files.
    void RecordListings() {
        host.onPump = [this] { listings.push_back(Listing(work)); };
    }

    TempDir dir;
    std::unique_ptr<TestVolume> tmpfs;
    std::unique_ptr<Platform::ScopedDriveTable> table;
    std::optional<std::int64_t> simulated;
    std::string volumeRoot, work, skipReason;
    std::int64_t userSize = 0;
    TestInputs inputs;
    RecordingTaskHost host;
    RecordingPresenter presenter;
    std::uint32_t clock = 0;
    std::vector<std::string> listings;
    std::vector<std::int64_t> bytesPerPass; // of the last Run
};

#define MAKE_VOLUME(...)                                                                           \
    do {                                                                                           \
        if (!MakeVolume(__VA_ARGS__)) {                                                            \
            GTEST_SKIP() << skipReason;                                                            \
        }                                                                                          \
    } while (false)

TEST_P(WipeTest, PassesFillTheFreeSpaceAndDeleteTheirFiles) {
    struct Case {
        const char* what;
        std::int64_t capacity, userBytes;
        std::int32_t passes, bufferMB;
        std::vector<std::string> listings, statuses;
        std::vector<std::int64_t> bytesPerPass;
    };
    const std::string f64 = std::to_string(64 * MB), f36 = std::to_string(36 * MB);
    const Case cases[] = {
        {"100 MB free, 64 MB buffer",
         100 * MB,
         0,
         2,
         64,
         {"1:" + f64, "1:" + f64 + " 2:" + f36, "3:" + f64, "3:" + f64 + " 4:" + f36},
         {Progress(1, 64, 100, "64"), Progress(1, 100, 36, "36"), Progress(2, 64, 100, "64"),
          Progress(2, 100, 36, "36"), "Done"},
         {100 * MB, 100 * MB}},
        {"no free space", MB, MB, 2, 64, {}, {"Done"}, {0, 0}},
        {"no pass", MB, 0, 0, 64, {}, {"Done"}, {}},
        {"free space below the buffer",
         7 * MB / 2,
         0,
         1,
         64,
         {"1:" + std::to_string(7 * MB / 2)},
         {Progress(1, 3, 3, "3.5"), "Done"},
         {7 * MB / 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DropVolume();
        host = RecordingTaskHost();
        listings.clear();
        MAKE_VOLUME(c.capacity, c.userBytes);
        inputs.passes = c.passes;
        inputs.bufferMB = c.bufferMB;
        RecordListings();
        QuillTPU::SetRandSeed(4711);
        std::string pattern;
        for (int i = 0; i < 64 * 1024; ++i)
            pattern += static_cast<char>(QuillTPU::Random(255));
        QuillTPU::SetRandSeed(4711);
        std::string firstFile;
        auto record = host.onPump;
        host.onPump = [&] {
            record();
            if (firstFile.empty())
                firstFile = ReadAll(work + "/1").substr(0, pattern.size());
        };

        EXPECT_EQ(Run(), RunOutcome::Done);
        EXPECT_EQ(listings, c.listings);
        EXPECT_EQ(host.statuses, c.statuses);
        EXPECT_EQ(bytesPerPass, c.bytesPerPass);
        EXPECT_EQ(Listing(work), "-") << "the work folder stays";
        EXPECT_EQ(BytesIn(volumeRoot), userSize);
        EXPECT_EQ(host.events.front(), "BeginTask");
        EXPECT_EQ(host.events[1], "ClearCancel");
        EXPECT_EQ(host.events.back(), "EndTask");
        EXPECT_TRUE(presenter.shown.empty());
        // The pattern is the generator's Random(255) sequence, made once.
        if (!c.listings.empty()) {
            EXPECT_TRUE(firstFile == pattern) << "file 1 does not start with the pattern";
        }
    }
}

// With the mark as an attribute, and as the ledger of a file system that
// keeps no user attributes.
TEST_P(WipeTest, CancelDeletesThePassAndTheFolder) {
    MAKE_VOLUME(16 * MB);
    inputs.bufferMB = 1;
    inputs.passes = 3;
    for (const bool ledger : {false, true}) {
        SCOPED_TRACE(ledger ? "ledger" : "attribute");
        Platform::TToolMarks::UseLedgerOnly(ledger);
        host = RecordingTaskHost();
        host.onPump = [this] {
            if (host.pumps == 3)
                host.cancel = true;
        };
        EXPECT_EQ(Run(), RunOutcome::Canceled);
        Platform::TToolMarks::UseLedgerOnly(false);
        EXPECT_EQ(host.pumps, 3);
        // The ledger takes a few bytes of the volume.
        const int freeMB = ledger ? 15 : 16;
        EXPECT_EQ(host.statuses,
                  (std::vector<std::string>{Progress(1, 1, freeMB, "1"),
                                            Progress(1, 2, freeMB - 1, "1"), "  CANCELED!"}));
        EXPECT_EQ(host.events[host.events.size() - 2], "EndTask");
        EXPECT_EQ(Listing(work), "-");
        EXPECT_EQ(BytesIn(volumeRoot), 0);
    }
}

// A user's files are never replaced or deleted, and nothing is written
// through a link or into a file under the folder's name.
TEST_P(WipeTest, UsersFilesStayAndALinkedFolderIsRefused) {
    MAKE_VOLUME(4 * MB);
    inputs.bufferMB = 1;
    fs::create_directory(work);
    const std::string user1 = std::string(1000, '1');
    {
        std::ofstream(work + "/1") << user1;
        std::ofstream(work + "/notes.txt") << "mine";
    }
    RecordListings();
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(Listing(work), "1:1000 notes.txt:4");
    EXPECT_EQ(ReadAll(work + "/1"), user1);
    // The run skipped the taken name and went on with its own.
    ASSERT_FALSE(listings.empty());
    EXPECT_EQ(listings.front(), "1:1000 2:" + std::to_string(MB) + " notes.txt:4");

    fs::remove_all(work);
    const std::string elsewhere = dir / "elsewhere";
    fs::create_directory(elsewhere);
    // The wipe writes only into a folder of its own, and one run at a time.
    enum class Holder { Link, File, AnotherRun };
    for (const Holder holder : {Holder::Link, Holder::File, Holder::AnotherRun}) {
        SCOPED_TRACE(static_cast<int>(holder));
        presenter.shown.clear();
        Platform::UniqueFd held;
        if (holder == Holder::Link)
            fs::create_directory_symlink(elsewhere, work);
        else if (holder == Holder::File)
            std::ofstream(work) << "a file";
        else {
            fs::create_directory(work);
            int error = 0;
            held = Platform::LockFolder(work, &error);
            ASSERT_TRUE(held);
        }
        EXPECT_EQ(Run(), RunOutcome::Declined);
        ASSERT_EQ(presenter.shown.size(), 2u);
        EXPECT_EQ(presenter.shown[0].text,
                  holder == Holder::AnotherRun
                      ? "Another wipe is using \"" + work + "\"."
                      : "\"" + work +
                            "\" is a link or a file, not a folder. The wipe writes only into a "
                            "folder of its own.");
        EXPECT_EQ(presenter.shown[1].text, Wipe::kCannotWriteMessage);
        EXPECT_TRUE(fs::is_empty(elsewhere));
        EXPECT_EQ(holder == Holder::Link, fs::is_symlink(work));
        EXPECT_FALSE(host.busy);
        fs::remove(work);
    }
}

INSTANTIATE_TEST_SUITE_P(Volumes, WipeTest,
                         ::testing::Values(VolumeKind::Folder, VolumeKind::Tmpfs),
                         [](const auto& info) {
                             return info.param == VolumeKind::Folder ? "Folder" : "Tmpfs";
                         });

// A run that cannot make progress stops with a message that says why, and
// leaves none of its files behind.
TEST(WipeFailures, StopInsteadOfEndlessRounds) {
    struct Case {
        const char* what;
        std::string expected; // in the message
        std::function<void(TestInputs&, Wipe::WipeRun::FreeSpaceQuery&, int&)> setUp;
    };
    const Case cases[] = {
        {"a write failure that is not a full volume", "wp_binary/1\". File too large",
         [](TestInputs&, Wipe::WipeRun::FreeSpaceQuery&, int& fileLimit) { fileLimit = 1; }},
        {"a free-space query failing mid-run", "Input/output error",
         [](TestInputs&, Wipe::WipeRun::FreeSpaceQuery& query, int&) {
             query = [calls = 0](int* error) mutable -> std::optional<std::int64_t> {
                 if (++calls < 3)
                     return (10 - calls) * MB;
                 *error = EIO;
                 return std::nullopt;
             };
         }},
        {"an error raised mid-run", "",
         [](TestInputs& inputs, Wipe::WipeRun::FreeSpaceQuery&, int&) {
             inputs.onBufferRead = [reads = 0]() mutable {
                 if (++reads == 6)
                     throw std::runtime_error("raised");
             };
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Platform::ScopedDriveTable table({Platform::DriveForFolder('V', dir.Path())});
        RecordingTaskHost host;
        RecordingPresenter presenter;
        TestInputs inputs;
        inputs.bufferMB = 1;
        Wipe::WipeRun::FreeSpaceQuery query = [&](int*) -> std::optional<std::int64_t> {
            return 10 * MB - BytesIn(dir.Path());
        };
        int fileLimitMB = 0;
        c.setUp(inputs, query, fileLimitMB);
        Wipe::WipeRun run(host, inputs);
        run.SetFreeSpaceQuery(query);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (fileLimitMB) {
            rlimit limit = saved;
            limit.rlim_cur = static_cast<rlim_t>(fileLimitMB * MB / 2);
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        RunOutcome outcome = RunOutcome::Done;
        bool raised = false;
        try {
            outcome = run.Execute();
        } catch (const std::runtime_error&) {
            raised = true;
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(Listing(dir / "wp_binary"), "-");
        EXPECT_EQ(host.Status(), QuillTPU::kFailedStatus);
        EXPECT_FALSE(host.busy);
        if (c.expected.empty()) {
            EXPECT_TRUE(raised);
            continue;
        }
        EXPECT_EQ(outcome, RunOutcome::Failed);
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_NE(presenter.shown[0].text.find(c.expected), std::string::npos)
            << presenter.shown[0].text;
        EXPECT_EQ(host.events.back(), "EndTask");
    }
}

// The folder is taken afresh for each pass: when a link took its name during
// the first pass, the second refuses it, and the status line says the run
// failed instead of keeping the last progress.
TEST(WipeFailures, AFolderLostBetweenPassesFailsTheRun) {
    TempDir dir;
    Platform::ScopedDriveTable table({Platform::DriveForFolder('V', dir.Path())});
    RecordingTaskHost host;
    RecordingPresenter presenter;
    TestInputs inputs;
    inputs.passes = 2;
    inputs.bufferMB = 1;
    Wipe::WipeRun run(host, inputs);
    int calls = 0;
    run.SetFreeSpaceQuery([&](int*) -> std::optional<std::int64_t> {
        if (++calls == 2) {
            std::filesystem::rename(dir / "wp_binary", dir / "moved");
            std::filesystem::create_directory_symlink(dir / "moved", dir / "wp_binary");
        }
        return calls < 3 ? 3 * MB : 0;
    });
    EXPECT_EQ(run.Execute(), RunOutcome::Failed);
    EXPECT_EQ(host.Status(), QuillTPU::kFailedStatus);
    EXPECT_FALSE(host.busy);
    ASSERT_FALSE(presenter.shown.empty());
    EXPECT_NE(presenter.shown[0].text.find("is a link or a file"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "wp_binary"));
}

// A volume out of files (inodes) with room left: not a finished wipe.
TEST(WipeFailures, NoFileLeftWithRoomLeftIsNoSuccess) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(16 * MB, false, &why, "nr_inodes=4");
    if (!volume)
        GTEST_SKIP() << why;
    Platform::ScopedDriveTable table({Platform::DriveForFolder('V', volume->MountPoint())});
    RecordingTaskHost host;
    RecordingPresenter presenter;
    TestInputs inputs;
    inputs.bufferMB = 1;
    EXPECT_EQ(Wipe::WipeRun(host, inputs).Execute(), RunOutcome::Failed);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_NE(presenter.shown[0].text.find("could not be wiped"), std::string::npos)
        << presenter.shown[0].text;
    EXPECT_EQ(host.Status(), QuillTPU::kFailedStatus);
    EXPECT_EQ(Listing(volume->MountPoint() + "/wp_binary"), "-");
}

TEST(WipeChecks, MemoryAndLeftovers) {
    TempDir dir;
    Platform::ScopedDriveTable table({Platform::DriveForFolder('V', dir.Path())});
    RecordingTaskHost host;
    RecordingPresenter presenter;
    TestInputs inputs;
    const std::string work = dir / "wp_binary";

    // A pattern the memory cannot back is refused before anything is written.
    {
        Wipe::WipeRun run(host, inputs);
        run.SetFreeSpaceQuery([](int*) -> std::optional<std::int64_t> { return 100 * MB; });
        run.SetMemoryQuery([]() -> std::optional<std::int64_t> { return 10 * MB; });
        EXPECT_EQ(run.Execute(), RunOutcome::Declined);
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_EQ(presenter.shown[0].text.rfind("The wipe needs 64.0 MB of memory", 0), 0u);
        EXPECT_FALSE(fs::exists(work));
        EXPECT_TRUE(host.statuses.empty());
    }

    // Leftovers of runs killed hard: marked files go, unmarked ones stay.
    fs::create_directory(work);
    Platform::TToolMarks wipeMarks(work, Wipe::kWipeTool);
    wipeMarks.MarkFolder();
    for (const char* name : {"7", "8"}) {
        const int fd = ::open((work + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_EQ(::write(fd, "fill", 4), 4);
        wipeMarks.MarkFile(fd, name);
        ::close(fd);
    }
    dir.Write("wp_binary/9", "user");
    fs::create_directory(dir / "speedtest");
    Platform::TToolMarks speedMarks(dir / "speedtest", SpeedTest::kToolName);
    speedMarks.MarkFolder();
    {
        const std::string file = dir / "speedtest/SpeedTest.bin";
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_EQ(::write(fd, "test", 4), 4);
        speedMarks.MarkFile(fd, "SpeedTest.bin");
        ::close(fd);
    }
    // A folder that a running tool holds is left alone.
    int error = 0;
    Platform::UniqueFd held = Platform::LockFolder(work, &error);
    ASSERT_TRUE(held);
    auto removed = SweepAtStart();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].tool, SpeedTest::kToolName);
    EXPECT_TRUE(removed[0].folderRemoved);
    held = Platform::UniqueFd();

    removed = SweepAtStart();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].folder, work + "/");
    EXPECT_EQ(removed[0].files, 2u);
    EXPECT_FALSE(removed[0].folderRemoved);
    EXPECT_EQ(QuillTPU::LeftoverStatus(removed),
              "Removed 2 files (8 Bytes) left by an interrupted wipe");
    EXPECT_EQ(Listing(work), "9:4");
    EXPECT_FALSE(fs::exists(dir / "speedtest"));
    EXPECT_TRUE(SweepAtStart().empty());

    // The memory a buffer can be backed by: the least of MemAvailable and
    // the room under each control group's limit.
    TempDir fake;
    fake.Write("proc/meminfo", "MemTotal: 8000000 kB\nMemAvailable:    4000000 kB\n");
    fake.Write("proc/self/cgroup", "0::/a/b\n4:memory:/c\n");
    fake.Write("cg/a/memory.max", "3000000000\n");
    fake.Write("cg/a/memory.current", "1000000000\n");
    fake.Write("cg/a/b/memory.max", "max\n");
    fake.Write("cg/a/b/memory.current", "5\n");
    EXPECT_EQ(Wipe::AvailableMemory(fake / "proc", fake / "cg"), 2000000000);
    fake.Write("cg/memory/c/memory.limit_in_bytes", "1500000000\n");
    fake.Write("cg/memory/c/memory.usage_in_bytes", "500000000\n");
    fake.Write("cg/memory/memory.limit_in_bytes", "9223372036854771712\n");
    fake.Write("cg/memory/memory.usage_in_bytes", "1\n");
    EXPECT_EQ(Wipe::AvailableMemory(fake / "proc", fake / "cg"), 1000000000);
}

// A user's file under the name of a tool's list of marks is the user's: the
// sweep at start, a wipe and a speed test leave it as it is. Where the list
// is the only mark (no user attributes), the tools cannot mark their files
// beside it and say so instead of running.
TEST(WipeChecks, AUsersFileUnderTheListsNameSurvives) {
    for (const bool ledger : {false, true}) {
        SCOPED_TRACE(ledger ? "ledger" : "attribute");
        Platform::TToolMarks::UseLedgerOnly(ledger);
        TempDir dir;
        Platform::ScopedDriveTable table({Platform::DriveForFolder('V', dir.Path())});
        const std::string wipeList = dir.Write("wp_binary/.ferrovane-wipe", "my wipe notes\n");
        const std::string speedList =
            dir.Write("speedtest/.ferrovane-speedtest", "0 0 0 SpeedTest.bin\n");
        auto unchanged = [&] {
            return ReadAll(wipeList) == "my wipe notes\n" &&
                   ReadAll(speedList) == "0 0 0 SpeedTest.bin\n";
        };

        EXPECT_TRUE(SweepAtStart().empty());
        EXPECT_TRUE(unchanged()) << "start-up sweep";

        RecordingTaskHost host;
        RecordingPresenter presenter;
        TestInputs inputs;
        inputs.bufferMB = 1;
        Wipe::WipeRun wipe(host, inputs);
        wipe.SetFreeSpaceQuery([&](int*) -> std::optional<std::int64_t> {
            return std::max<std::int64_t>(3 * MB - BytesIn(dir / "wp_binary"), 0);
        });
        EXPECT_EQ(wipe.Execute(), ledger ? RunOutcome::Failed : RunOutcome::Done);
        EXPECT_TRUE(unchanged()) << "wipe";
        EXPECT_EQ(Listing(dir / "wp_binary"), ".ferrovane-wipe:14");

        struct SpeedInputs : SpeedTest::ISpeedTestInputs {
            std::optional<Platform::ChosenDrive> Drive() override {
                if (auto drive = Platform::FindDrive('v'))
                    return Platform::ChosenDrive{std::move(*drive), {}};
                return std::nullopt;
            }
            std::int32_t TestSizeMB() override { return 1; }
        } speedInputs;
        struct Log : SpeedTest::ISpeedLog {
            void AppendLine(const std::string&) override {}
        } log;
        SpeedTest::SpeedTestRun speed(host, speedInputs, log);
        speed.SetFreeSpace([](const Platform::Drive&) { return std::int64_t(1) << 40; });
        EXPECT_EQ(speed.Execute(),
                  ledger ? SpeedTest::RunOutcome::Failed : SpeedTest::RunOutcome::Done);
        EXPECT_TRUE(unchanged()) << "speed test";
        EXPECT_EQ(Listing(dir / "speedtest"), ".ferrovane-speedtest:20");
        if (ledger) {
            ASSERT_EQ(presenter.shown.size(), 2u);
            EXPECT_NE(presenter.shown[1].text.find("was not made by this program"),
                      std::string::npos)
                << presenter.shown[1].text;
        }
        EXPECT_TRUE(SweepAtStart().empty());
        EXPECT_TRUE(unchanged()) << "second sweep";
    }
    Platform::TToolMarks::UseLedgerOnly(false);
}

// After a pass, the bytes of a file deleted before the wipe are no longer
// anywhere on the volume. The tests run as root, and root's wipe also fills
// the blocks a volume keeps for root. Of a file that filled the whole volume,
// ext4 may keep a block or two out of the wipe's reach (its allocator holds
// freed blocks back for the files just created); stopping short of the
// blocks kept for root left hundreds of them.
struct LoopCase {
    int reservedPercent;
    bool fillVolume;
    std::size_t survivingBlocks; // at most, of 1 KiB
};

class WipeLoopVolume : public ::testing::TestWithParam<LoopCase> {};

TEST_P(WipeLoopVolume, DeletedFileIsOverwrittenOnTheRawImage) {
    if (!RunningAsRoot())
        GTEST_SKIP() << "mounting a loop volume needs root";
    TempDir dir;
    const std::string image = dir / "image.ext4", mountPoint = dir / "volume";
    fs::create_directory(mountPoint);
    const std::string reserved = std::to_string(GetParam().reservedPercent);
    if (std::system(("truncate -s 16M '" + image + "' && mkfs.ext4 -q -m " + reserved + " '" +
                     image + "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" + mountPoint +
                     "'")
                        .c_str()) != 0)
        GTEST_SKIP() << "cannot make and mount an ext4 loop volume";
    struct Unmount {
        std::string point;
        ~Unmount() { ::umount2(point.c_str(), MNT_DETACH); }
    } unmount{mountPoint};

    // ext4 holds back a few clusters (2 % here) that no file may take, not
    // even root's: what lies there no wipe through files can reach, and
    // which blocks those are depends on where the allocator, per CPU, put
    // the files. The test measures the wipe, so the volume keeps no such
    // reserve.
    {
        struct stat volume {};
        ASSERT_EQ(::stat(mountPoint.c_str(), &volume), 0);
        const std::string device =
            fs::read_symlink("/sys/dev/block/" + std::to_string(major(volume.st_dev)) + ":" +
                             std::to_string(minor(volume.st_dev)))
                .filename();
        std::ofstream("/sys/fs/ext4/" + device + "/reserved_clusters") << "0";
    }
    std::string secret;
    while (secret.size() < 2 * MB)
        secret += "FERROVANE-SECRET-" + std::to_string(secret.size()) + ";";
    {
        const int fd = ::open((mountPoint + "/secret.txt").c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ssize_t written = ::write(fd, secret.data(), secret.size());
        ASSERT_EQ(written, static_cast<ssize_t>(secret.size()));
        while (GetParam().fillVolume && written > 0)
            written = ::write(fd, secret.data(), secret.size());
        ::fsync(fd);
        ::close(fd);
    }
    ::unlink((mountPoint + "/secret.txt").c_str());
    ::sync();
    const std::string marker = "FERROVANE-SECRET-";
    ASSERT_NE(ReadAll(image).find(marker), std::string::npos) << "the deleted bytes were not there";

    Platform::ScopedDriveTable table({Platform::DriveForFolder('V', mountPoint)});
    RecordingTaskHost host;
    RecordingPresenter presenter;
    TestInputs inputs;
    inputs.bufferMB = 1;
    // Each file reaches the disk before the round ends, not only when the
    // filling volume forces the system to write.
    QuillTPU::SetRandSeed(99);
    std::string pattern(64 * 1024, '\0');
    for (char& b : pattern)
        b = static_cast<char>(QuillTPU::Random(255));
    QuillTPU::SetRandSeed(99);
    bool onDiskAfterFirstRound = false;
    host.onPump = [&] {
        if (host.pumps == 1)
            onDiskAfterFirstRound = ReadAll(image).find(pattern) != std::string::npos;
    };
    Wipe::WipeRun run(host, inputs);
    EXPECT_EQ(run.Execute(), RunOutcome::Done);
    EXPECT_TRUE(onDiskAfterFirstRound);
    EXPECT_EQ(run.WorkFolder(), mountPoint + "/wp_binary/");
    EXPECT_FALSE(fs::exists(mountPoint + "/wp_binary"));
    ASSERT_EQ(::umount2(mountPoint.c_str(), 0), 0);
    unmount.point.clear();
    const std::string raw = ReadAll(image);
    std::set<std::size_t> blocks;
    for (auto at = raw.find(marker); at != std::string::npos; at = raw.find(marker, at + 1))
        blocks.insert(at / 1024);
    EXPECT_LE(blocks.size(), GetParam().survivingBlocks) << "deleted data survived the wipe";
}

INSTANTIATE_TEST_SUITE_P(Volumes, WipeLoopVolume,
                         ::testing::Values(LoopCase{0, false, 0}, LoopCase{5, true, 16}));

} // namespace
