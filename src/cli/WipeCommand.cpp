// ferrovane-cli wipe: the free-space wipe of the volume that holds PATH.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "cli/Support.h"
#include "cli/ToolBounds.h"
#include "platform/Clock.h"
#include "tools/wipe/WipeRun.h"

#include <string>
#include <vector>

namespace Cli {

namespace {

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
    using Wipe::kBufferSizeMB;
    using Wipe::kPasses;
    const Arguments arguments(
        {{"--passes", true,
          Fill("the number of passes, {} to {} (default {})",
               {std::to_string(kPasses.minimum), std::to_string(kPasses.maximum),
                std::to_string(kPasses.defaultValue)})},
         {"--buffer", true,
          Fill("{} to {} in whole MB (default {})",
               {WholeSize(kBufferSizeMB.minimum * 1048576LL),
                WholeSize(kBufferSizeMB.maximum * 1048576LL),
                WholeSize(kBufferSizeMB.defaultValue * 1048576LL)})},
         {"--json", false, ""}},
        args);
    const std::string path = arguments.Single("PATH");
    std::int64_t passes = kPasses.defaultValue;
    if (const auto text = arguments.Value("--passes"))
        passes = ParseWhole("--passes", *text, kPasses.minimum, kPasses.maximum);
    std::int64_t bufferMB = kBufferSizeMB.defaultValue;
    if (const auto text = arguments.Value("--buffer"))
        bufferMB = ParseSizeIn("--buffer", *text, 1048576, "MB", kBufferSizeMB.minimum,
                               kBufferSizeMB.maximum);
    Platform::ChosenDrive drive = DriveArgument("PATH", path);
    if (CancelSignalled())
        return kExitCanceled;

    const Platform::Drive volume = drive.drive;
    CliWipeInputs inputs(std::move(drive), static_cast<std::int32_t>(passes),
                         static_cast<std::int32_t>(bufferMB));
    Wipe::WipeRun run(context.host, inputs);
    const std::uint64_t start = Platform::NanoClock();
    const Wipe::RunOutcome outcome = run.Execute();
    const double seconds = static_cast<double>(Platform::NanoClock() - start) / 1e9;
    if (outcome == Wipe::RunOutcome::Done) {
        if (context.json) {
            context.host.Finish();
            std::string line = "{\"letter\": ";
            line += volume.letter ? JsonString(std::string(1, volume.letter)) : "null";
            line += ", \"volume\": " + JsonString(volume.mountPoint) +
                    ", \"passes\": " + std::to_string(passes) + ", \"bytesPerPass\": [";
            const std::vector<std::int64_t>& perPass = run.BytesPerPass();
            for (std::size_t i = 0; i < perPass.size(); ++i)
                line += (i ? ", " : "") + std::to_string(perPass[i]);
            line += "], \"seconds\": " + JsonReal(seconds, 3) + "}\n";
            std::fputs(line.c_str(), context.out);
        }
    }
    return ExitStatusOf(outcome);
}

} // namespace Cli
