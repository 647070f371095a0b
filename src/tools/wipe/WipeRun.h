#pragma once
// The free-space wipe behind "Wipe free space": fills the free space of one
// volume with files of a random pattern, flushed to the drive, and deletes
// them again, pass after pass, under the task contract of the host.
#include "tools/wipe/WipeInputs.h"
#include "util/RunOutcome.h"
#include "util/TaskHost.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace QuillTPU {
class TaskScope;
}

namespace Wipe {

inline constexpr const char* kNotReadyMessage = "Disk not ready!";
inline constexpr const char* kWriteProtectedMessage = "Disk is write protected!";
// The second line where the volume takes writes, but not the user's.
inline constexpr const char* kNoWorkingPlaceMessage =
    "You may not create a folder anywhere on this drive.";
inline constexpr const char* kCannotWriteMessage = "Cannot write to disk";
inline constexpr const char* kDoneStatus = "Done";

using QuillTPU::RunOutcome;

class WipeRun {
public:
    // Free bytes of the run's volume, or nullopt with *error (an errno).
    using FreeSpaceQuery = std::function<std::optional<std::int64_t>(int* error)>;
    // Bytes of memory a new buffer can still be backed by; nullopt: unknown.
    using MemoryQuery = std::function<std::optional<std::int64_t>()>;

    WipeRun(QuillTPU::ITaskHost& host, IWipeInputs& inputs);
    ~WipeRun();
    WipeRun(const WipeRun&) = delete;
    WipeRun& operator=(const WipeRun&) = delete;

    // The millisecond clock of the speed figure (a tick count).
    void SetClock(std::function<std::uint32_t()> tickCount) { FTickCount = std::move(tickCount); }
    // Replaces the query of the pinned volume (tests simulate a volume).
    void SetFreeSpaceQuery(FreeSpaceQuery query) { FFreeSpace = std::move(query); }
    void SetMemoryQuery(MemoryQuery query) { FMemory = std::move(query); }

    // Raises only what the run cannot handle itself (an assertion, a failed
    // allocation); its files are deleted and the task ended first.
    RunOutcome Execute();

    // The work folder of the last run (the drive's working place +
    // "wp_binary/"); empty until the checks found it.
    const std::string& WorkFolder() const { return FFolder; }

private:
    enum class Round { Next, PassEnds, Canceled, Failed };

    RunOutcome Run(QuillTPU::TaskScope& scope);
    bool TakeWorkFolder();
    Round WriteRound(std::int32_t pass, std::int64_t& written, std::int64_t freeBytes);
    // True when the volume has a fixed number of files and none is left.
    bool OutOfFiles() const;
    std::optional<std::int64_t> FreeBytes(int* error);
    std::int64_t BufferMB();
    RunOutcome Fail(const std::string& message);
    Round FailRound(const std::string& message);
    void CloseFile();
    void RemoveOwnFiles();

    QuillTPU::ITaskHost& FHost;
    IWipeInputs& FInputs;
    std::function<std::uint32_t()> FTickCount;
    FreeSpaceQuery FFreeSpace;
    MemoryQuery FMemory;

    struct Volume;
    std::unique_ptr<Volume> FVolume; // the pinned drive of the run
    QuillTPU::TaskScope* FScope = nullptr;
    std::string FFolder;
    int FFolderFd = -1; // the work folder, open and locked while the run uses it
    bool FCreatedFolder = false;
    int FFileFd = -1; // the file of the round
    std::string FFileName;
    std::int64_t FCounter = 0; // k: the last file name used
    std::unique_ptr<std::uint8_t[]> FPattern;
    std::int64_t FPatternLength = 0; // L
};

} // namespace Wipe
