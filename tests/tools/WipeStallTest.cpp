// A wipe whose volume never shows less free space (a volume that lies, or
// compresses the fill away) must stop by its own guard. The case runs on a
// small volume of its own: with the guard broken it fills 16 MB, never the
// machine's disk.
#include "../components/TestVolume.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "platform/DriveTable.h"
#include "platform/DriveWork.h"
#include "tools/wipe/WipeRun.h"
#include "util/TaskScope.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct StallInputs : Wipe::IWipeInputs {
    std::optional<Platform::ChosenDrive> Drive() override {
        if (auto drive = Platform::FindDrive('v'))
            return Platform::ChosenDrive{std::move(*drive), {}};
        return std::nullopt;
    }
    std::int32_t Passes() override { return 1; }
    std::int32_t BufferSizeMB() override { return 1; }
};

} // namespace

TEST(WipeStall, FreeSpaceThatNeverShrinksStopsTheRunOnASmallVolume) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(16 * 1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    Platform::ScopedDriveTable table({Platform::DriveForFolder('V', volume->MountPoint())});
    RecordingTaskHost host;
    RecordingPresenter presenter;
    StallInputs inputs;
    Wipe::WipeRun run(host, inputs);
    run.SetFreeSpaceQuery([](int*) -> std::optional<std::int64_t> { return 20 * 1048576; });
    EXPECT_EQ(run.Execute(), Wipe::RunOutcome::Failed);
    EXPECT_EQ(host.Status(), QuillTPU::kFailedStatus);
    ASSERT_EQ(presenter.shown.size(), 1u);
    // The guard's message, not the end of a full volume.
    EXPECT_NE(presenter.shown[0].text.find("and the files before"), std::string::npos)
        << presenter.shown[0].text;
    EXPECT_FALSE(std::filesystem::exists(volume->MountPoint() + "/wp_binary"));
}
