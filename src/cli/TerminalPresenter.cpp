#include "cli/TerminalPresenter.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace Cli {

namespace {

// The core's texts break lines with CR LF, as a message box wants them.
std::string TerminalLines(const std::string& text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        lines += text[i] == '\r' ? '\n' : text[i];
    }
    return lines;
}

// One line from stdin, read unbuffered; the wait also ends when a cancel
// signal comes. nullopt at end of input or for a signal.
std::optional<std::string> ReadAnswerLine() {
    const int signals = InstallCancelSignals();
    std::string line;
    for (;;) {
        if (CancelSignalled())
            return std::nullopt;
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signals, POLLIN, 0}};
        if (::poll(fds, signals >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got == 1) {
            if (c == '\n')
                return line;
            line += c;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return std::nullopt;
    }
}

} // namespace

TerminalPresenter::TerminalPresenter(TerminalTaskHost& host, std::FILE* out, bool interactive)
    : FHost(host), FOut(out), FInteractive(interactive) {}

void TerminalPresenter::ShowMessage(QuillTPU::MessageKind kind, const std::string&,
                                    const std::string& text) {
    switch (kind) {
    case QuillTPU::MessageKind::Plain:
        Write(text);
        break;
    case QuillTPU::MessageKind::Warning:
        Write("Warning: " + text);
        break;
    case QuillTPU::MessageKind::Error:
        Write("Error: " + text);
        break;
    }
}

void TerminalPresenter::ShowReport(const std::string& caption, const std::string& text) {
    Write(caption + "\n" + text);
}

bool TerminalPresenter::Confirm(const std::string&, const std::string& text) {
    if (FAnswer)
        return *FAnswer;
    if (!FInteractive) {
        Write(text);
        Write("No terminal to ask: answered No." +
              (FAnswerHint.empty() ? std::string() : " " + FAnswerHint));
        ++FUnanswered;
        return false;
    }
    FHost.Finish();
    std::fprintf(FOut, "%s [y/N] ", TerminalLines(text).c_str());
    FlushOutput(FOut);
    const auto answer = ReadAnswerLine();
    if (!answer) {
        std::fputc('\n', FOut);
        FlushOutput(FOut);
        return false;
    }
    return *answer == "y" || *answer == "Y" || *answer == "yes" || *answer == "Yes" ||
           *answer == "YES";
}

void TerminalPresenter::Write(const std::string& text) {
    if (text.empty())
        return;
    FHost.Finish();
    std::fprintf(FOut, "%s\n", TerminalLines(text).c_str());
    FlushOutput(FOut);
}

} // namespace Cli
