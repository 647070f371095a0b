// ferrovane-cli: the tools of the window for servers, scripts and CI jobs,
// on the same runs, without a display.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "util/QuillTPU.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include <unistd.h>

#ifndef FV_VERSION
#error "FV_VERSION comes from the project's version in CMake"
#endif

namespace {

constexpr const char* kProgram = "ferrovane-cli";

void PrintOverview(std::FILE* out) {
    std::fprintf(out, "Usage: %s COMMAND [OPTIONS] [ARGUMENTS]\n\nCommands:\n", kProgram);
    for (const auto& command : Cli::Commands())
        std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
    std::fprintf(out,
                 "\n'%s COMMAND --help' shows a command's options, '%s --version'\n"
                 "the version. Progress and messages go to stderr. Ctrl+C, SIGTERM and SIGHUP\n"
                 "cancel a run where it can stop. Exit status: 0 done, 1 failed or declined,\n"
                 "2 wrong usage (nothing written), 130 canceled.\n",
                 kProgram, kProgram);
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    if (all.empty()) {
        PrintOverview(stderr);
        return Cli::kExitUsage;
    }
    if (all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        PrintOverview(stdout);
        return Cli::kExitDone;
    }
    if (all[0] == "--version") {
        std::printf("%s %s\n", kProgram, FV_VERSION);
        return Cli::kExitDone;
    }
    const Cli::Command* command = nullptr;
    for (const auto& each : Cli::Commands())
        if (all[0] == each.name)
            command = &each;
    if (!command) {
        std::fprintf(stderr, "%s: unknown command \"%s\"\n\n", kProgram, all[0].c_str());
        PrintOverview(stderr);
        return Cli::kExitUsage;
    }
    const std::vector<std::string> args(all.begin() + 1, all.end());
    if (AsksForHelp(args)) {
        std::printf("Usage: %s %s\n\n%s", kProgram, command->synopsis, command->help);
        return Cli::kExitDone;
    }

    // As the window does at start: every run draws its own names and bytes.
    QuillTPU::Randomize();
    Cli::InstallCancelSignals();
    const bool stderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    Cli::TerminalTaskHost host(stderr, stderrIsTerminal);
    Cli::TerminalPresenter presenter(host, stderr, stderrIsTerminal && ::isatty(STDIN_FILENO) == 1);
    QuillTPU::SetMessagePresenter(&presenter);
    QuillTPU::SetApplicationTitle(kProgram);
    Cli::Context context{host, presenter, stdout};

    int status;
    try {
        status = command->run(args, context);
    } catch (const Cli::UsageError& e) {
        host.Finish();
        std::fprintf(stderr, "%s %s: %s\nTry '%s %s --help'.\n", kProgram, command->name, e.what(),
                     kProgram, command->name);
        status = Cli::kExitUsage;
    } catch (const std::exception& e) {
        // A failure the run does not report itself (a failed read, say).
        host.Finish();
        std::fprintf(stderr, "Error: %s\n", e.what());
        status = Cli::kExitFailed;
    }
    host.Finish();
    QuillTPU::SetMessagePresenter(nullptr);
    if (std::fflush(stdout) != 0 && status == Cli::kExitDone)
        status = Cli::kExitFailed; // the results did not all get out
    return status;
}
