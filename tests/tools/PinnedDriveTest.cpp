// Both drive tools against the real mount table (in the test program's own
// mount namespace): the drive a run is handed is a volume, and another
// mount at its place makes it "not ready", never a drive to write to.
#include "../components/TestVolume.h"
#include "FileModesBind.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "platform/DriveTable.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "tools/wipe/WipeRun.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

struct Inputs : SpeedTest::ISpeedTestInputs, Wipe::IWipeInputs, SpeedTest::ISpeedLog {
    Platform::ChosenDrive chosen;
    std::optional<Platform::ChosenDrive> Drive() override { return chosen; }
    std::int32_t TestSizeMB() override { return 1; }
    std::int32_t Passes() override { return 1; }
    std::int32_t BufferSizeMB() override { return 1; }
    void AppendLine(const std::string&) override {}
};

std::optional<Platform::Drive> DriveAt(const std::string& mountPoint) {
    for (auto& drive : Platform::ReadDriveTable())
        if (drive.mountPoint == mountPoint)
            return drive;
    return std::nullopt;
}

} // namespace

TEST(PinnedDrive, AnotherMountAtTheChosenPlaceIsNotReady) {
    struct Case {
        const char* tool;
        bool remount;        // unmounted first: the kernel may hand out the same ids
        std::string message; // with "%" for the drive's name
    };
    for (const Case& c : {Case{"wipe", false, Wipe::kNotReadyMessage},
                          Case{"speed", false, "Drive % is not ready."},
                          Case{"wipe", true, Wipe::kNotReadyMessage}}) {
        SCOPED_TRACE(std::string(c.tool) + (c.remount ? " after a remount" : " over-mounted"));
        std::string why;
        const auto volume = TestVolume::Tmpfs(4 * 1048576, false, &why);
        if (!volume)
            GTEST_SKIP() << why;
        auto chosen = DriveAt(volume->MountPoint());
        ASSERT_TRUE(chosen);
        chosen->uniqueMountId = Platform::AskUniqueMountId(*chosen); // as the chooser holds it
        if (c.remount) {
            ASSERT_EQ(::umount2(volume->MountPoint().c_str(), 0), 0);
        }
        // The place the user chose now shows another volume.
        ASSERT_EQ(::mount("tmpfs", volume->MountPoint().c_str(), "tmpfs", 0, "size=4m"), 0);
        RecordingTaskHost host;
        RecordingPresenter presenter;
        Inputs inputs;
        inputs.chosen = {*chosen, volume->MountPoint()};
        if (std::string(c.tool) == "wipe") {
            Wipe::WipeRun run(host, inputs);
            EXPECT_EQ(run.Execute(), Wipe::RunOutcome::Declined);
        } else {
            SpeedTest::SpeedTestRun run(host, inputs, inputs);
            EXPECT_EQ(run.Execute(), SpeedTest::RunOutcome::Failed);
            EXPECT_EQ(host.Status(), "  FAILED!");
        }
        std::string message = c.message;
        if (const auto at = message.find('%'); at != std::string::npos)
            message.replace(at, 1, Platform::DriveName(*chosen));
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_EQ(presenter.shown[0].text, message);
        EXPECT_TRUE(fs::is_empty(volume->MountPoint())); // the new volume
        ::umount2(volume->MountPoint().c_str(), MNT_DETACH);
        EXPECT_TRUE(fs::is_empty(volume->MountPoint())); // the chosen one, or its place
    }
}

// A volume that takes writes, only not at its root for this user: the wipe
// says what he may do; a volume that is really write protected says only so.
TEST(PinnedDrive, NoWorkingPlaceForTheUserIsToldApartFromAWriteProtectedDisk) {
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "root closed to the user");
        std::string why;
        const auto volume = TestVolume::Tmpfs(4 * 1048576, readOnly, &why, "mode=0555");
        if (!volume)
            GTEST_SKIP() << why;
        const auto chosen = DriveAt(volume->MountPoint());
        ASSERT_TRUE(chosen);
        FileModesBind plainUser;
        if (!plainUser.Holds())
            GTEST_SKIP() << "file modes stop nothing for this root";
        RecordingTaskHost host;
        RecordingPresenter presenter;
        Inputs inputs;
        inputs.chosen = {*chosen, {}};
        Wipe::WipeRun run(host, inputs);
        EXPECT_EQ(run.Execute(), Wipe::RunOutcome::Declined);
        ASSERT_EQ(presenter.shown.size(), 1u);
        const std::string& text = presenter.shown[0].text;
        EXPECT_EQ(text.rfind(Wipe::kWriteProtectedMessage, 0), 0u) << text;
        EXPECT_EQ(text.find("run it as an administrator") != std::string::npos, !readOnly) << text;
    }
}
