#pragma once
// The task host of the command line: the status line goes to stderr, as one
// line rewritten in place on a terminal and as plain lines otherwise (a log
// file or a CI job), and Ctrl+C, SIGTERM and SIGHUP are the Cancel button.
#include "util/TaskHost.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace Cli {

// Routes SIGINT, SIGTERM and SIGHUP to the cancel flag. Returns the
// descriptor that becomes readable when a signal comes (-1: none could be
// made, and the signals keep their default action: they end the program).
int InstallCancelSignals();
bool CancelSignalled();

// Flushes the program's own output (stdout, stderr). A reader that went
// away (a pipe into "head -n 1" that has its line) is a request to stop:
// the run cleans up as after Ctrl+C, and the program exits 1.
void FlushOutput(std::FILE* stream);
bool OutputLost();
// A write of our own to standard output found its reader gone.
void NoteOutputLost();

class TerminalTaskHost final : public QuillTPU::ITaskHost {
public:
    // inPlace: rewrite one line (a terminal) or write a line per text.
    TerminalTaskHost(std::FILE* out, bool inPlace);
    ~TerminalTaskHost() override;

    void BeginTask() override { FBusy = true; }
    void EndTask() override;
    void PumpMessages() override { Paint(false); }
    // A signal is meant for the whole program, so it survives the reset a
    // tool makes when its work starts; so does a lost output.
    bool CancelRequested() const override { return CancelSignalled() || OutputLost(); }
    void ClearCancel() override {}
    void SetStatus(const std::string& text) override;
    void RepaintNow() override { Paint(false); }
    void RepaintStatus() override { Paint(false); }

    bool Busy() const { return FBusy; }
    // Paints the last text and ends the line, so that a message or the
    // shell's prompt starts on a line of its own.
    void Finish();

private:
    // Paints the pending text now (force) or when the last paint is long
    // enough ago that the line does not flicker or flood a log.
    void Paint(bool force);

    std::FILE* FOut;
    bool FInPlace;
    bool FBusy = false;
    std::string FText;
    std::string FPainted;
    bool FPending = false;
    bool FLineOpen = false; // a rewritten line without its line break
    std::uint64_t FLastPaint = 0;
    bool FEverPainted = false;
};

// The terminal's host as one command's run sees it: the status texts pass
// through a filter that may renumber or hold them back (nullopt), and
// every pump is seen first. Everything else goes to the terminal's host.
class FilteredTaskHost final : public QuillTPU::ITaskHost {
public:
    using Filter = std::function<std::optional<std::string>(const std::string&)>;
    FilteredTaskHost(TerminalTaskHost& host, Filter filter, std::function<void()> onPump = {})
        : FHost(host), FFilter(std::move(filter)), FOnPump(std::move(onPump)) {}

    void BeginTask() override { FHost.BeginTask(); }
    void EndTask() override { FHost.EndTask(); }
    void PumpMessages() override {
        if (FOnPump)
            FOnPump();
        FHost.PumpMessages();
    }
    bool CancelRequested() const override { return FHost.CancelRequested(); }
    void ClearCancel() override { FHost.ClearCancel(); }
    void SetStatus(const std::string& text) override {
        if (auto shown = FFilter(text))
            FHost.SetStatus(*shown);
    }
    void RepaintNow() override { FHost.RepaintNow(); }
    void RepaintStatus() override { FHost.RepaintStatus(); }
    void PumpPaint() override { FHost.PumpPaint(); }

private:
    TerminalTaskHost& FHost;
    Filter FFilter;
    std::function<void()> FOnPump;
};

} // namespace Cli
