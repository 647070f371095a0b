#pragma once
// The file generation run behind "Create": writes the files block by block
// under the task contract (busy state, progress, Cancel) of the host.
#include "platform/File.h"
#include "tools/generator/GeneratorInputs.h"
#include "util/RunOutcome.h"
#include "util/TaskHost.h"
#include "util/TaskScope.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Generator {

inline constexpr const char* kCreatingStatus = "Creating files. Please be patient...";
// Shared with every tool: "  CANCELED!", and "  FAILED!" when a file could
// not be created, written or closed (the error box says which).
using QuillTPU::kCanceledStatus;
using QuillTPU::kFailedStatus;
inline constexpr const char* kEmptyTextMessage =
    "Error! You must insert at least a character in the \"Fill with content box\"!";
inline constexpr const char* kProgressHint =
    "MB. (Hint: Increase the buffer size to speed up the process)";

using QuillTPU::RunOutcome;

class GeneratorRun {
public:
    GeneratorRun(QuillTPU::ITaskHost& host, IGeneratorInputs& inputs);
    ~GeneratorRun();

    // The millisecond clock of the "Done in" line (a tick count).
    void SetClock(std::function<std::uint32_t()> tickCount) { FTickCount = std::move(tickCount); }
    // The signal at the normal end.
    void SetBeep(std::function<void()> beep) { FBeep = std::move(beep); }
    // Told each file's name (without its folder) once it is written and
    // closed, in the order of writing.
    void SetFileWritten(std::function<void(const std::string& name)> written) {
        FFileWritten = std::move(written);
    }

    RunOutcome Execute();

private:
    // One file of the run: each step returns Done to go on.
    RunOutcome WriteFile(std::int64_t counter, std::int64_t size);
    RunOutcome CheckFileInputs(std::string& folder, std::u16string& text);
    bool PatternStaysInFolder();
    bool RoomOrConsent(std::int64_t size, std::int64_t count);
    std::string FileName(const std::string& folder, std::int64_t counter, bool randomName);
    RunOutcome CreateFile(const std::string& folder, std::int64_t counter, bool randomName,
                          std::string& name, Platform::File& file);
    void PreparePattern(const std::u16string& text, std::int64_t size);
    RunOutcome WriteBlocks(Platform::File& file, const std::string& name, std::int64_t size,
                           const std::u16string& text);
    RunOutcome WriteBytes(Platform::File& file, const std::string& name, std::size_t length,
                          bool randomContent);
    RunOutcome FinishFile(Platform::File& file, const std::string& name);

    std::int64_t BufferBytes();
    void ShowProgress(std::int64_t written, std::int64_t size);
    // Every failure of a file: its error box, "  FAILED!", the task ended.
    RunOutcome Fail(const std::string& message);
    RunOutcome FileFailure(const char* action, const std::string& name, int code);
    std::uint8_t* Buffer(std::size_t length);

    QuillTPU::ITaskHost& FHost;
    IGeneratorInputs& FInputs;
    std::function<std::uint32_t()> FTickCount;
    std::function<void()> FBeep;
    std::function<void(const std::string&)> FFileWritten;
    std::uint32_t FLastPaint = 0;
    // The task of the current Execute.
    QuillTPU::TaskScope* FTask = nullptr;
    // The fill modes' pattern for the current file (see PreparePattern).
    std::uint8_t* FPattern = nullptr;
    std::size_t FPatternLength = 0;
    std::int64_t FTextBlock = 0;
    // The one block buffer of the run; it grows only when a block needs more.
    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::size_t FCapacity = 0;
};

} // namespace Generator
