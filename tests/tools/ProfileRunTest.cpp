// The full test's run on small loop volumes (as root), with short figures:
// both engines, Cancel, a volume that refuses direct I/O, one too small.
#include "tools/profile/ProfileRun.h"
#include "../components/TestVolume.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "TempDir.h"
#include "platform/DriveWork.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <fcntl.h>
#include <sys/mount.h>

using namespace Profile;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t MB = 1048576;

// The volume mounted at mountPoint, chosen as drive T:.
struct TestInputs : IProfileInputs {
    explicit TestInputs(const std::string& mountPoint)
        : table({Platform::DriveForFolder('T', mountPoint)}) {}
    Platform::ScopedDriveTable table;
    std::int32_t mb = 2;
    std::optional<Platform::ChosenDrive> Drive() override {
        return Platform::ChosenDrive{*Platform::FindDrive('T'), {}};
    }
    std::string DriveName() override { return "Drive T:"; }
    std::int32_t TestSizeMB() override { return mb; }
};

std::unique_ptr<TestVolume> LoopVolume(int megabytes) {
    std::string why;
    if (::geteuid() != 0)
        return nullptr;
    return TestVolume::Ext4("profile", false, &why, megabytes);
}

// Nothing of the run stays on the volume.
bool NothingLeft(const std::string& mountPoint) {
    return !fs::exists(mountPoint + "/speedtest");
}

} // namespace

TEST(ProfileRunTest, LatencyHistogramKeepsMeanExactAndQuantilesWithinABucket) {
    // 1 us .. 10 ms evenly, and the same shifted to seconds: the buckets
    // must hold over the whole range of a request's time.
    for (const std::uint64_t unit : {std::uint64_t{1000}, std::uint64_t{1'000'000}}) {
        LatencyHistogram histogram;
        for (std::uint64_t i = 1; i <= 10000; ++i)
            histogram.Add(i * unit);
        EXPECT_DOUBLE_EQ(histogram.MeanNs(), 5000.5 * static_cast<double>(unit));
        for (const double q : {0.5, 0.99, 1.0})
            EXPECT_NEAR(histogram.QuantileNs(q), q * 10000 * static_cast<double>(unit),
                        q * 10000 * static_cast<double>(unit) / 64);
    }
    EXPECT_EQ(LatencyHistogram().QuantileNs(0.99), 0);
}

TEST(ProfileRunTest, EachEngineTakesTheEightFiguresOnTheFilesRandomData) {
    const auto volume = LoopVolume(16);
    if (!volume)
        GTEST_SKIP() << "a loop volume needs root and loop devices";
    for (const auto& [choice, name] :
         {std::pair{EngineChoice::Uring, "io_uring"}, std::pair{EngineChoice::Aio, "libaio"}}) {
        SCOPED_TRACE(name);
        RecordingTaskHost host;
        RecordingPresenter presenter;
        TestInputs inputs(volume->MountPoint());
        ProfileRun run(host, inputs);
        run.SetTiming(20'000'000, 100'000'000);
        run.SetEngine(choice);
        // When the first figure starts the file holds random data, not the
        // zeros of its reserved blocks.
        std::size_t zeros = 0, bytes = 0;
        host.onPump = [&] {
            if (bytes != 0 || host.Status() != "Sequential 1 MiB Q8 read, 1 of 8")
                return;
            std::ifstream file(volume->MountPoint() + "/speedtest/" + kTestFileName,
                               std::ios::binary);
            for (auto it = std::istreambuf_iterator<char>(file);
                 it != std::istreambuf_iterator<char>(); ++it, ++bytes)
                zeros += *it == 0;
        };
        ASSERT_EQ(run.Execute(), RunOutcome::Done);
        EXPECT_TRUE(presenter.shown.empty());
        EXPECT_EQ(run.EngineName(), name);
        EXPECT_EQ(bytes, static_cast<std::size_t>(2 * MB));
        EXPECT_LT(zeros, bytes / 100); // Random(255) gives a zero 1 in 255
        ASSERT_EQ(run.Results().size(), 8u);
        for (std::size_t i = 0; i < 8; ++i) {
            const FigureResult& r = run.Results()[i];
            SCOPED_TRACE(FigureName(r.figure));
            EXPECT_EQ(r.figure.write, i >= 4); // the reads come first
            EXPECT_GT(r.iops, 0);
            EXPECT_DOUBLE_EQ(r.bytesPerSecond, r.iops * static_cast<double>(r.figure.blockSize));
            EXPECT_GT(r.meanLatencyUs, 0);
            EXPECT_GT(r.p99LatencyUs, 0);
        }
        EXPECT_GE(run.FillBytes(), 2u * MB); // the two sequential writes at least
        EXPECT_NE(
            std::find(host.statuses.begin(), host.statuses.end(), "Random 4 KiB Q32 read, 3 of 8"),
            host.statuses.end());
        EXPECT_EQ(host.Status(), "Done");
        EXPECT_FALSE(host.busy);
        EXPECT_TRUE(NothingLeft(volume->MountPoint()));
    }
}

TEST(ProfileRunTest, CancelEndsAFigureAtOnceAndRemovesTheFile) {
    const auto volume = LoopVolume(16);
    if (!volume)
        GTEST_SKIP() << "a loop volume needs root and loop devices";
    RecordingTaskHost host;
    RecordingPresenter presenter;
    TestInputs inputs(volume->MountPoint());
    ProfileRun run(host, inputs);
    std::chrono::steady_clock::time_point pressed;
    host.onPump = [&] {
        if (!host.cancel && host.Status() == "Random 4 KiB Q32 read, 3 of 8") {
            host.cancel = true;
            pressed = std::chrono::steady_clock::now();
        }
    };
    run.SetTiming(0, 200'000'000);
    // Figures 1 and 2 short, then a minute each: Cancel must not wait for it.
    run.SetOnFigure([&](const FigureResult& r) {
        if (r.figure.queueDepth == 1)
            run.SetTiming(0, 60'000'000'000);
    });
    EXPECT_EQ(run.Execute(), RunOutcome::Canceled);
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(5));
    EXPECT_EQ(run.Results().size(), 2u);
    EXPECT_EQ(host.Status(), "  CANCELED!");
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_TRUE(NothingLeft(volume->MountPoint()));
}

TEST(ProfileRunTest, RefusesAVolumeWithoutDirectIoOrRoomBeforeAnyFigure) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    // ramfs keeps everything in memory and refuses O_DIRECT.
    TempDir ram;
    ASSERT_EQ(::mount("ramfs", ram.Path().c_str(), "ramfs", 0, nullptr), 0);
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{ram.Path()};
    const auto small = LoopVolume(8);
    if (!small)
        GTEST_SKIP() << "a loop volume needs loop devices";
    struct Case {
        std::string place;
        std::int32_t mb;
        RunOutcome outcome;
        std::string message;
    };
    for (const Case& c : {Case{ram.Path(), 2, RunOutcome::Declined, "refuses direct I/O"},
                          Case{small->MountPoint(), 64, RunOutcome::Declined,
                               "Not enough free space to perform the write test"}}) {
        SCOPED_TRACE(c.message);
        RecordingTaskHost host;
        RecordingPresenter presenter;
        TestInputs inputs(c.place);
        inputs.mb = c.mb;
        ProfileRun run(host, inputs);
        run.SetTiming(0, 50'000'000);
        EXPECT_EQ(run.Execute(), c.outcome);
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_NE(presenter.shown[0].text.find(c.message), std::string::npos)
            << presenter.shown[0].text;
        EXPECT_TRUE(run.Results().empty());
        EXPECT_EQ(host.Status(), "Done");
        EXPECT_TRUE(NothingLeft(c.place));
    }
}

// The speed test's work folder as the full test meets it: a killed run's
// marked file goes first, while a user's file under the test file's or the
// folder's name stays untouched and the run says why it stops.
TEST(ProfileRunTest, WorkFolderLosesLeftoversButKeepsTheUsersFiles) {
    const auto volume = LoopVolume(16);
    if (!volume)
        GTEST_SKIP() << "a loop volume needs root and loop devices";
    const std::string folder = volume->MountPoint() + "/speedtest";
    const std::string file = folder + "/" + kTestFileName;
    auto write = [](const std::string& path) { std::ofstream(path) << "the user's"; };
    struct Case {
        std::function<void()> arrange;
        std::string user; // the user's file that must stay, if any
        RunOutcome outcome;
        std::string message;
    };
    const Case cases[] = {
        {[&] {
             fs::create_directory(folder);
             Platform::TToolMarks marks(folder, "speedtest");
             ASSERT_TRUE(marks.MarkFolder());
             Platform::UniqueFd left(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
             ASSERT_TRUE(marks.MarkFile(left.Get(), kTestFileName));
         },
         "", RunOutcome::Done, ""},
        {[&] {
             fs::create_directory(folder);
             write(file);
         },
         file, RunOutcome::Failed, "was not made by the full test, so it stays"},
        {[&] { write(folder); }, folder, RunOutcome::Failed,
         "is not a folder. The full test needs this name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        c.arrange();
        RecordingTaskHost host;
        RecordingPresenter presenter;
        TestInputs inputs(volume->MountPoint());
        ProfileRun run(host, inputs);
        run.SetTiming(0, 10'000'000);
        EXPECT_EQ(run.Execute(), c.outcome);
        if (c.message.empty()) {
            EXPECT_TRUE(presenter.shown.empty());
        } else {
            ASSERT_EQ(presenter.shown.size(), 1u);
            EXPECT_NE(presenter.shown[0].text.find(c.message), std::string::npos)
                << presenter.shown[0].text;
        }
        if (c.user.empty()) {
            EXPECT_TRUE(NothingLeft(volume->MountPoint()));
        } else {
            std::ifstream kept(c.user);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the user's");
            fs::remove(c.user);
            fs::remove(folder);
        }
    }
}
