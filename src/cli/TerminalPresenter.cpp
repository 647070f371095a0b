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

std::string TerminalWording(const std::string& text) {
    // The window's words, and what stands for them on the command line.
    static const std::pair<const char*, const char*> kWords[] = {
        {"Please choose a smaller buffer size on the Settings tab.",
         "Please choose a smaller size with --buffer."},
        {"(Hint: Increase the buffer size to speed up the process)",
         "(Hint: a larger --buffer speeds up the process)"},
        // Ctrl+C cancels here; the message is on the terminal to copy.
        {"\r\nHint: press Control+C to copy this message to clipboard.", ""},
    };
    std::string result = text;
    for (const auto& [window, terminal] : kWords)
        if (const auto at = result.find(window); at != std::string::npos)
            result.replace(at, std::string(window).size(), terminal);
    return result;
}

TerminalPresenter::TerminalPresenter(TerminalTaskHost& host, std::FILE* out, bool interactive)
    : FHost(host), FOut(out), FInteractive(interactive) {}

void TerminalPresenter::ShowMessage(QuillTPU::MessageKind kind, const std::string&,
                                    const std::string& text) {
    const std::string wording = TerminalWording(text);
    switch (kind) {
    case QuillTPU::MessageKind::Plain:
        FLastProblem = TerminalLines(wording); // the runs say only why they stop
        Write(wording);
        break;
    case QuillTPU::MessageKind::Warning:
        FLastProblem = TerminalLines(wording);
        Write("Warning: " + wording);
        break;
    case QuillTPU::MessageKind::Error:
        FLastProblem = TerminalLines(wording);
        Write("Error: " + wording);
        break;
    }
}

void TerminalPresenter::ShowReport(const std::string& caption, const std::string& text) {
    FLastProblem = TerminalLines(TerminalWording(text));
    Write(caption + "\n" + TerminalWording(text));
}

bool TerminalPresenter::Confirm(const std::string&, const std::string& text) {
    if (FAnswer)
        return *FAnswer;
    if (!FInteractive) {
        const std::string answered = "No terminal to ask: answered No." +
                                     (FAnswerHint.empty() ? std::string() : " " + FAnswerHint);
        FLastProblem = TerminalLines(text) + "\n" + answered;
        Write(text);
        Write(answered);
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
