// ferrovane-cli wipe: the free-space wipe of the volume that holds PATH.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "cli/Support.h"
#include "cli/ToolBounds.h"
#include "platform/Clock.h"
#include "tools/wipe/WipeRun.h"

#include <cstdlib>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

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

// The bytes each pass wrote, as the run goes. The run names its fill files
// by a counter that goes on from pass to pass; after each file's write it
// pumps (its file now holds what went to the drive), then shows the pass.
class PassBytes {
public:
    explicit PassBytes(const Wipe::WipeRun& run) : FRun(run) {}

    // At the pump: the newest fill file's size. Names taken by files of
    // others are skipped by the run, and so here.
    void FileWritten() {
        const std::string& folder = FRun.WorkFolder();
        if (folder.empty())
            return;
        for (std::int64_t k = FNext; k < FNext + kLookAhead; ++k) {
            struct stat info {};
            if (::lstat((folder + std::to_string(k)).c_str(), &info) == 0 &&
                S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                (info.st_mode & 07777) == 0600) {
                FPending = info.st_size;
                FNext = k + 1;
                return;
            }
        }
    }
    // At the status line: "Pass: 2 ..." takes the file just written.
    void Status(const std::string& text) {
        if (text.rfind("Pass: ", 0) != 0)
            return;
        const auto pass = static_cast<std::size_t>(std::strtoul(text.c_str() + 6, nullptr, 10));
        if (pass < 1)
            return;
        if (FBytes.size() < pass)
            FBytes.resize(pass, 0);
        FBytes[pass - 1] += FPending;
        FPending = 0;
    }
    std::vector<std::string> PerPass(std::size_t passes) const {
        std::vector<std::string> bytes;
        for (std::size_t i = 0; i < passes; ++i)
            bytes.push_back(std::to_string(i < FBytes.size() ? FBytes[i] : 0));
        return bytes;
    }

private:
    static constexpr std::int64_t kLookAhead = 10000;
    const Wipe::WipeRun& FRun;
    std::int64_t FNext = 1;
    std::int64_t FPending = 0;
    std::vector<std::int64_t> FBytes;
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
    std::unique_ptr<PassBytes> counted;
    FilteredTaskHost host(
        context.host,
        [&](const std::string& text) -> std::optional<std::string> {
            if (counted)
                counted->Status(text);
            return text;
        },
        [&] {
            if (counted)
                counted->FileWritten();
        });
    Wipe::WipeRun run(host, inputs);
    if (context.json)
        counted = std::make_unique<PassBytes>(run);
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
            const auto perPass = counted->PerPass(static_cast<std::size_t>(passes));
            for (std::size_t i = 0; i < perPass.size(); ++i)
                line += (i ? ", " : "") + perPass[i];
            line += "], \"seconds\": " + JsonReal(seconds, 3) + "}\n";
            std::fputs(line.c_str(), context.out);
        }
    }
    return ExitStatusOf(outcome);
}

} // namespace Cli
