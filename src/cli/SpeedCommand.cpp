// ferrovane-cli speed: the drive speed test on the volume that holds PATH;
// its log lines go to stdout, or its two figures as JSON.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "cli/Support.h"
#include "cli/ToolBounds.h"
#include "platform/Clock.h"
#include "platform/DriveTable.h"
#include "tools/speedtest/SpeedTestRun.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
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

// The log memo of the window: here stdout, or kept for the JSON.
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
        FLines.push_back(line);
        for (const char* label : {"Write speed: ", "Read speed: "})
            if (FTicks && FTicks->size() >= 2 && line.find(label) != std::string::npos)
                FMilliseconds[label] = FTicks->back() - (*FTicks)[FTicks->size() - 2];
        if (FPrint) {
            // The status line on the same terminal is ended first, or the
            // log line would continue it.
            if (FOnTerminal)
                FHost.Finish();
            std::fprintf(FOut, "%s\n", line.c_str());
            FlushOutput(FOut);
        }
    }
    // The milliseconds of a phase: the clock's two last readings when its
    // line came (the run reads the clock at a phase's start and end only).
    void SetPhaseClock(const std::vector<std::uint32_t>* ticks) { FTicks = ticks; }
    std::optional<std::uint32_t> Milliseconds(const std::string& label) const {
        const auto it = FMilliseconds.find(label);
        if (it == FMilliseconds.end())
            return std::nullopt;
        return it->second;
    }
    // The figure of the line that begins (after blanks) with label, such
    // as "212.6MB/sec"; empty when there is none.
    std::string Figure(const std::string& label) const {
        for (const auto& line : FLines) {
            const std::size_t at = line.find_first_not_of(' ');
            if (at != std::string::npos && line.compare(at, label.size(), label) == 0)
                return line.substr(at + label.size());
        }
        return {};
    }

private:
    TerminalTaskHost& FHost;
    std::FILE* FOut;
    bool FPrint;
    bool FOnTerminal;
    bool FStarted = false;
    std::vector<std::string> FLines;
    const std::vector<std::uint32_t>* FTicks = nullptr;
    std::map<std::string, std::uint32_t> FMilliseconds;
};

// A phase beside its MB/s: the bytes, the milliseconds, and whether the
// figure is only a lower bound (a phase faster than the clock's tick).
std::string PhaseJson(const char* name, std::int64_t bytes, const std::string& figure,
                      const std::optional<std::uint32_t>& milliseconds) {
    const std::string key = std::string(", \"") + name;
    return key + "Bytes\": " + std::to_string(bytes) + key +
           "Milliseconds\": " + (milliseconds ? std::to_string(*milliseconds) : "null") + key +
           "LowerBound\": " + (!figure.empty() && figure.front() == '>' ? "true" : "false");
}

// "212.6MB/sec" -> "212.6"; ">1000MB/sec" (a phase under the clock's
// resolution) -> the bound 1000; "null" when there is no figure.
std::string JsonNumber(const std::string& figure) {
    std::string number = figure;
    if (!number.empty() && number.front() == '>')
        number.erase(0, 1);
    const std::size_t unit = number.find("MB/sec");
    if (unit == std::string::npos || unit == 0)
        return "null";
    number.resize(unit);
    return number.find_first_not_of("0123456789.") == std::string::npos ? number : "null";
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
    std::vector<std::uint32_t> ticks;
    run.SetClock([&ticks] { return ticks.emplace_back(Platform::TickCount()); });
    log.SetPhaseClock(&ticks);
    const SpeedTest::RunOutcome outcome = run.Execute();
    context.host.Finish();
    if (json && outcome == SpeedTest::RunOutcome::Done) {
        const std::string write = log.Figure("Write speed: ");
        const std::string read = log.Figure("Read speed: ");
        const std::int64_t bytes = sizeMB * 1048576; // the test file, written and read whole
        std::fprintf(context.out,
                     "{\"letter\": %s, \"mountPoint\": %s, \"testSizeMB\": %lld, "
                     "\"writeMBps\": %s, \"readMBps\": %s, \"writeSpeed\": %s, "
                     "\"readSpeed\": %s%s%s}\n",
                     drive.drive.letter ? JsonString(std::string(1, drive.drive.letter)).c_str()
                                        : "null",
                     JsonString(drive.drive.mountPoint).c_str(), static_cast<long long>(sizeMB),
                     JsonNumber(write).c_str(), JsonNumber(read).c_str(), JsonString(write).c_str(),
                     JsonString(read).c_str(),
                     PhaseJson("write", bytes, write, log.Milliseconds("Write speed: ")).c_str(),
                     PhaseJson("read", bytes, read, log.Milliseconds("Read speed: ")).c_str());
    }
    return ExitStatusOf(outcome);
}

} // namespace Cli
