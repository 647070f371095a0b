// ferrovane-cli wipe: the free-space wipe of the volume that holds PATH.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "tools/wipe/WipeRun.h"

namespace Cli {

namespace {

constexpr std::int64_t kDefaultPasses = 2;
constexpr std::int64_t kMaxPasses = 16;
constexpr std::int64_t kDefaultBufferMB = 64;
constexpr std::int64_t kMaxBufferMB = 50000;

class CliWipeInputs final : public Wipe::IWipeInputs {
public:
    CliWipeInputs(Platform::ChosenDrive drive, std::int32_t passes, std::int32_t bufferMB)
        : FDrive(std::move(drive)), FPasses(passes), FBufferMB(bufferMB) {}
    std::optional<Platform::ChosenDrive> Drive() override { return FDrive; }
    std::int32_t Passes() override { return FPasses; }
    std::int32_t BufferSizeMB() override { return FBufferMB; }

private:
    Platform::ChosenDrive FDrive;
    std::int32_t FPasses;
    std::int32_t FBufferMB;
};

} // namespace

int RunWipe(const std::vector<std::string>& args, Context& context) {
    const Arguments arguments({{"--passes", true, "the number of passes, 1 to 16 (default 2)"},
                               {"--buffer", true, "1MB to 50000MB in whole MB (default 64MB)"}},
                              args);
    const std::string path = arguments.Single("PATH");
    std::int64_t passes = kDefaultPasses;
    if (const auto text = arguments.Value("--passes"))
        passes = ParseWhole("--passes", *text, 1, kMaxPasses);
    std::int64_t bufferMB = kDefaultBufferMB;
    if (const auto text = arguments.Value("--buffer"))
        bufferMB = ParseSizeIn("--buffer", *text, 1048576, "MB", 1, kMaxBufferMB);
    Platform::ChosenDrive drive = DriveArgument("PATH", path);
    if (CancelSignalled())
        return kExitCanceled;

    CliWipeInputs inputs(std::move(drive), static_cast<std::int32_t>(passes),
                         static_cast<std::int32_t>(bufferMB));
    Wipe::WipeRun run(context.host, inputs);
    switch (run.Execute()) {
    case Wipe::RunOutcome::Done:
        return kExitDone;
    case Wipe::RunOutcome::Canceled:
        return kExitCanceled;
    case Wipe::RunOutcome::Failed:
    case Wipe::RunOutcome::Stopped:
        break;
    }
    return kExitFailed;
}

} // namespace Cli
