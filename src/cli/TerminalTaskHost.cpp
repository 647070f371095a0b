#include "cli/TerminalTaskHost.h"

#include "cli/TerminalPresenter.h"
#include "platform/Clock.h"
#include "platform/StopSignals.h"

#include <cerrno>

namespace Cli {

namespace {

// A terminal is repainted often enough to look live; a log gets a line a
// second, plus the last one.
constexpr std::uint64_t kTerminalInterval = 100'000'000;
constexpr std::uint64_t kLogInterval = 1'000'000'000;

bool gOutputLost = false;

} // namespace

void FlushOutput(std::FILE* stream) {
    // stderr is unbuffered: a write to it has failed already, and errno
    // still says why.
    const bool failed = std::ferror(stream) != 0;
    const int code = errno;
    errno = 0;
    if ((failed && code == EPIPE) || (std::fflush(stream) != 0 && errno == EPIPE))
        gOutputLost = true;
}

void NoteOutputLost() {
    gOutputLost = true;
}

bool OutputLost() {
    return gOutputLost;
}

int InstallCancelSignals() {
    return Platform::StopSignals::Install();
}

bool CancelSignalled() {
    // The handler keeps the last signal: once set, it stays set.
    return Platform::StopSignals::LastSignal() != 0;
}

TerminalTaskHost::TerminalTaskHost(std::FILE* out, bool inPlace) : FOut(out), FInPlace(inPlace) {}

TerminalTaskHost::~TerminalTaskHost() {
    Finish();
}

void TerminalTaskHost::EndTask() {
    FBusy = false;
    Paint(true);
}

void TerminalTaskHost::SetStatus(const std::string& text) {
    FText = TerminalWording(text);
    FPending = true;
    Paint(false);
}

void TerminalTaskHost::Finish() {
    Paint(true);
    if (FLineOpen) {
        std::fputc('\n', FOut);
        FlushOutput(FOut);
        FLineOpen = false;
    }
}

void TerminalTaskHost::Paint(bool force) {
    if (!FPending)
        return;
    const std::uint64_t now = Platform::NanoClock();
    const std::uint64_t interval = FInPlace ? kTerminalInterval : kLogInterval;
    if (!force && FEverPainted && now - FLastPaint < interval)
        return;
    FPending = false;
    if (FText == FPainted && FEverPainted)
        return;
    if (FInPlace) {
        // Back to the start of the line, the text, and clear what is left
        // of a longer text before it.
        std::fprintf(FOut, "\r%s\x1b[K", FText.c_str());
        FLineOpen = true;
    } else if (!FText.empty()) {
        std::fprintf(FOut, "%s\n", FText.c_str());
    }
    FlushOutput(FOut);
    FPainted = FText;
    FLastPaint = now;
    FEverPainted = true;
}

} // namespace Cli
