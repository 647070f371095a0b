#pragma once
// The file generation run behind "Create": writes the files block by block
// under the task contract (busy state, progress, Cancel) of the host.
#include "tools/generator/GeneratorInputs.h"
#include "util/TaskHost.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Generator {

inline constexpr const char* kCreatingStatus = "Creating files. Please be patient...";
inline constexpr const char* kCanceledStatus = "  CANCELED!";
// A file could not be created, written or closed; the error box says which.
inline constexpr const char* kFailedStatus = "  FAILED!";
inline constexpr const char* kEmptyTextMessage =
    "Error! You must insert at least a character in the \"Fill with content box\"!";
inline constexpr const char* kProgressHint =
    "MB. (Hint: Increase the buffer size to speed up the process)";

enum class RunOutcome {
    Done,     // every file written, "Done in ..." and the beep
    Canceled, // the user pressed Cancel
    Failed,   // a file could not be created, written or closed
    Stopped,  // an input check failed before the first file
};

class GeneratorRun {
public:
    GeneratorRun(QuillTPU::ITaskHost& host, IGeneratorInputs& inputs);
    ~GeneratorRun();

    // The millisecond clock of the "Done in" line (a tick count).
    void SetClock(std::function<std::uint32_t()> tickCount) { FTickCount = std::move(tickCount); }
    // The signal at the normal end.
    void SetBeep(std::function<void()> beep) { FBeep = std::move(beep); }

    RunOutcome Execute();

private:
    RunOutcome WriteFile(std::int64_t counter, std::int64_t size);
    std::int64_t BufferBytes();
    void ShowProgress(std::int64_t written, std::int64_t size);
    RunOutcome Fail(const std::string& message);
    void EndTask();
    std::uint8_t* Buffer(std::size_t length);

    QuillTPU::ITaskHost& FHost;
    IGeneratorInputs& FInputs;
    std::function<std::uint32_t()> FTickCount;
    std::function<void()> FBeep;
    bool FBusy = false;
    // The one block buffer of the run; it grows only when a block needs more.
    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::size_t FCapacity = 0;
};

} // namespace Generator
