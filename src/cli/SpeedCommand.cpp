// ferrovane-cli speed: the drive speed test on the volume that holds PATH;
// its log lines go to stdout, or its two figures as JSON, taken from the run
// itself, not read back from the log.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "cli/Support.h"
#include "cli/ToolBounds.h"
#include "platform/DriveTable.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "util/Format.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

#include <unistd.h>

namespace Cli {

namespace {

class CliSpeedInputs final : public SpeedTest::ISpeedTestInputs {
public:
    CliSpeedInputs(Platform::ChosenDrive drive, std::int32_t sizeMB)
        : FDrive(std::move(drive)), FSizeMB(sizeMB) {}
    std::optional<Platform::ChosenDrive> Drive() override { return FDrive; }
    std::int32_t TestSizeMB() override { return FSizeMB; }

private:
    Platform::ChosenDrive FDrive;
    std::int32_t FSizeMB;
};

// The log memo of the window: here stdout, or nothing for the JSON.
class CliSpeedLog final : public SpeedTest::ISpeedLog {
public:
    CliSpeedLog(TerminalTaskHost& host, std::FILE* out, bool print)
        : FHost(host), FOut(out), FPrint(print), FOnTerminal(::isatty(::fileno(out)) == 1) {}
    void AppendLine(const std::string& line) override {
        // The memo's blank lines part one run from the next; a terminal
        // starts afresh.
        if (line.empty() && !FStarted)
            return;
        FStarted = true;
        if (FPrint) {
            // The status line on the same terminal is ended first, or the
            // log line would continue it.
            if (FOnTerminal)
                FHost.Finish();
            std::fprintf(FOut, "%s\n", line.c_str());
            FlushOutput(FOut);
        }
    }

private:
    TerminalTaskHost& FHost;
    std::FILE* FOut;
    bool FPrint;
    bool FOnTerminal;
    bool FStarted = false;
};

// A phase's MB/s cut as the log cuts it, a JSON number whatever the locale;
// "null" for a phase without a figure.
std::string JsonMBps(const std::optional<SpeedTest::PhaseFigure>& phase, std::uint8_t decimals) {
    if (!phase)
        return "null";
    return QuillTPU::FormatReal(SpeedTest::SpeedMBps(phase->bytes, phase->milliseconds), decimals);
}

// The log's text of a phase's figure, such as "212.6MB/sec".
std::string JsonSpeedText(const std::optional<SpeedTest::PhaseFigure>& phase,
                          std::uint8_t decimals) {
    if (!phase)
        return "null";
    return JsonString(SpeedTest::SpeedText(phase->bytes, phase->milliseconds, decimals));
}

// A phase beside its MB/s: the bytes, the milliseconds, and whether the
// figure is only a lower bound (a phase faster than the clock's tick).
std::string PhaseJson(const char* name, const std::optional<SpeedTest::PhaseFigure>& phase) {
    const std::string key = std::string(", \"") + name;
    if (!phase)
        return key + "Bytes\": null" + key + "Milliseconds\": null" + key + "LowerBound\": null";
    return key + "Bytes\": " + std::to_string(phase->bytes) + key +
           "Milliseconds\": " + std::to_string(phase->milliseconds) + key +
           "LowerBound\": " + (phase->milliseconds == 0 ? "true" : "false");
}

} // namespace

int RunSpeed(const std::vector<std::string>& args, Context& context) {
    if (std::find(args.begin(), args.end(), "--profile") != args.end())
        return RunProfile(args, context);
    const Arguments arguments({TestSizeRule(), {"--json", false, ""}}, args);
    const std::string path = arguments.Single("PATH");
    const std::int64_t sizeMB = TestSizeMB(arguments);
    const Platform::ChosenDrive drive = DriveArgument("PATH", path);
    const bool json = arguments.Has("--json");
    if (CancelSignalled())
        return kExitCanceled;

    CliSpeedInputs inputs(drive, static_cast<std::int32_t>(sizeMB));
    CliSpeedLog log(context.host, context.out, !json);
    SpeedTest::SpeedTestRun run(context.host, inputs, log);
    const SpeedTest::RunOutcome outcome = run.Execute();
    context.host.Finish();
    if (json && outcome == SpeedTest::RunOutcome::Done) {
        const SpeedTest::SpeedFigures& figures = run.Figures();
        std::fprintf(
            context.out,
            "{\"letter\": %s, \"mountPoint\": %s, \"testSizeMB\": %lld, "
            "\"writeMBps\": %s, \"readMBps\": %s, \"writeSpeed\": %s, "
            "\"readSpeed\": %s%s%s}\n",
            drive.drive.letter ? JsonString(std::string(1, drive.drive.letter)).c_str() : "null",
            JsonString(drive.drive.mountPoint).c_str(), static_cast<long long>(sizeMB),
            JsonMBps(figures.write, 1).c_str(), JsonMBps(figures.read, 2).c_str(),
            JsonSpeedText(figures.write, 1).c_str(), JsonSpeedText(figures.read, 2).c_str(),
            PhaseJson("write", figures.write).c_str(), PhaseJson("read", figures.read).c_str());
    }
    return ExitStatusOf(outcome);
}

} // namespace Cli
