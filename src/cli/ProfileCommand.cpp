// ferrovane-cli speed --profile: the full test (eight direct-I/O figures) on
// the volume that holds PATH; a table, or the figures as JSON.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "cli/Support.h"
#include "cli/ToolBounds.h"
#include "platform/DriveWork.h"
#include "tools/profile/ProfileRun.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace Cli {

namespace {

// Seconds as a decimal number within bounds; the default when not given.
double ParseSeconds(const Arguments& arguments, const std::string& option,
                    const QuillTPU::Bounds<double>& bounds) {
    const auto text = arguments.Value(option);
    if (!text)
        return bounds.defaultValue;
    char* end = nullptr;
    const double value = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !std::isfinite(value) || value < bounds.minimum ||
        value > bounds.maximum)
        throw UsageError(option + " takes seconds from " + std::to_string(bounds.minimum) + " to " +
                         std::to_string(bounds.maximum) + ", such as 5 or 0.5 (got \"" + *text +
                         "\")");
    return value;
}

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

} // namespace

int RunProfile(const std::vector<std::string>& args, Context& context) {
    const Arguments arguments(
        {{"--profile", false, ""},
         TestSizeRule(),
         {"--seconds", true,
          "seconds per figure (default " + Seconds(Profile::kMeasureSeconds.defaultValue) + ")"},
         {"--warmup", true,
          "seconds of warm-up before each figure (default " +
              Seconds(Profile::kWarmupSeconds.defaultValue) + ")"},
         {"--engine", true, "io_uring or libaio"},
         {"--json", false, ""}},
        args);
    const std::string path = arguments.Single("PATH");
    const std::int64_t sizeMB = TestSizeMB(arguments);
    const double seconds = ParseSeconds(arguments, "--seconds", Profile::kMeasureSeconds);
    const double warmup = ParseSeconds(arguments, "--warmup", Profile::kWarmupSeconds);
    Profile::EngineChoice engine = Profile::EngineChoice::Automatic;
    if (const auto text = arguments.Value("--engine")) {
        if (*text == "io_uring")
            engine = Profile::EngineChoice::Uring;
        else if (*text == "libaio")
            engine = Profile::EngineChoice::Aio;
        else
            throw UsageError("--engine takes io_uring or libaio (got \"" + *text + "\")");
    }
    Platform::ChosenDrive chosen = DriveArgument("PATH", path);
    const bool json = arguments.Has("--json");
    if (CancelSignalled())
        return kExitCanceled;

    Profile::ChosenDriveInputs inputs(std::move(chosen), static_cast<std::int32_t>(sizeMB));
    Profile::ProfileRun run(context.host, inputs);
    run.SetTiming(static_cast<std::uint64_t>(warmup * 1e9),
                  static_cast<std::uint64_t>(seconds * 1e9));
    run.SetEngine(engine);
    const Profile::RunOutcome outcome = run.Execute();
    context.host.Finish();
    if (outcome == Profile::RunOutcome::Done && !json) {
        for (const std::string& line : Profile::ResultTable(run))
            std::fprintf(context.out, "%s\n", line.c_str());
    } else if (outcome == Profile::RunOutcome::Done) {
        std::fprintf(context.out,
                     "{\"engine\": %s, \"fileSize\": %lld, \"seconds\": %s, \"results\": [",
                     JsonString(run.EngineName()).c_str(), static_cast<long long>(run.FileSize()),
                     Number(run.Seconds()).c_str());
        const char* separator = "\n";
        for (const Profile::FigureResult& r : run.Results()) {
            std::fprintf(context.out,
                         "%s  {\"pattern\": \"%s\", \"operation\": \"%s\", \"blockSize\": %zu, "
                         "\"queueDepth\": %u, \"threads\": 1, \"bytesPerSecond\": %s, "
                         "\"iops\": %s, \"meanLatencyUs\": %s, \"p99LatencyUs\": %s}",
                         separator, r.figure.random ? "rand" : "seq",
                         r.figure.write ? "write" : "read", r.figure.blockSize, r.figure.queueDepth,
                         Number(r.bytesPerSecond).c_str(), Number(r.iops).c_str(),
                         Number(r.meanLatencyUs).c_str(), Number(r.p99LatencyUs).c_str());
            separator = ",\n";
        }
        std::fprintf(context.out, "\n]}\n");
    }
    FlushOutput(context.out);
    return ExitStatusOf(outcome);
}

} // namespace Cli
