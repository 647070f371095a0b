#pragma once
// The free-space wipe behind "Wipe free space": fills the free space of one
// volume with files of a random pattern, flushed to the drive, and deletes
// them again, pass after pass, under the task contract of the host.
#include "platform/UniqueFd.h"
#include "tools/wipe/WipeInputs.h"
#include "util/RunOutcome.h"
#include "util/TaskHost.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Platform {
class WorkPlace;
}
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
    // The bytes each pass of the last run wrote to the volume, pass by pass
    // (a pass ended by Cancel or a failure counts what went until then).
    const std::vector<std::int64_t>& BytesPerPass() const { return FBytesPerPass; }

private:
    // How a round ends; each step of a round returns Next to go on.
    enum class Round { Next, PassEnds, Canceled, Failed };

    // The run's steps; each returns Done to go on.
    RunOutcome Run();
    RunOutcome CheckVolume();
    void RemoveLeftovers();
    RunOutcome CheckMemory();
    void PreparePattern();
    RunOutcome WipePass(std::int32_t pass);
    bool TakeWorkFolder();
    // One file of a pass: created, marked, filled and flushed, closed.
    Round WriteRound(std::int32_t pass, std::int64_t& written, std::int64_t freeBytes);
    Round CreateFile(std::int64_t freeBytes);
    Round FillFile(std::int64_t length, std::int64_t& done);
    Round FinishFile();
    Round CancelRound();
    void ShowProgress(std::int32_t pass, std::int64_t written, std::int64_t freeBytes,
                      std::int64_t done, std::uint32_t t0);

    // True when the volume has a fixed number of files and none is left.
    bool OutOfFiles() const;
    std::optional<std::int64_t> FreeBytes(int* error);
    std::string FreeSpaceErrorText(int error) const;
    std::string FilePath() const { return FFolder + FFileName; }
    std::int64_t BufferMB();
    // A refusal before anything is written: its error box (none for an
    // empty text, the step has shown its own), the task ended.
    RunOutcome Decline(const std::string& message);
    // Every failure after the work folder was taken: the run's files go,
    // "  FAILED!", the task ended, then the error box.
    RunOutcome Fail(const std::string& message);
    Round FailRound(const std::string& message);
    void CloseFile();
    void RemoveOwnFiles();
    void DropVolume();

    QuillTPU::ITaskHost& FHost;
    IWipeInputs& FInputs;
    std::function<std::uint32_t()> FTickCount;
    FreeSpaceQuery FFreeSpace;
    MemoryQuery FMemory;

    struct Volume;
    std::unique_ptr<Volume> FVolume; // the pinned drive of the run
    // The task of the current Execute.
    QuillTPU::TaskScope* FScope = nullptr;
    std::string FFolder;
    std::unique_ptr<Platform::WorkPlace> FWorkPlace; // the work folder on that volume
    Platform::UniqueFd FFile;                        // the file of the round
    std::string FFileName;
    std::int64_t FCounter = 0; // k: the last file name used
    std::unique_ptr<std::uint8_t[]> FPattern;
    std::int64_t FPatternLength = 0; // L
    std::vector<std::int64_t> FBytesPerPass;
};

} // namespace Wipe
