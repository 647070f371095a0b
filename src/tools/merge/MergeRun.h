#pragma once
// The merge run behind "Merge": appends every listed file, each followed by
// the separator, to the output file. It runs to its end without pumping
// messages and cannot be cancelled, so it begins no task; it only writes
// the status line.
#include "tools/merge/FileAppend.h"
#include "tools/merge/MergeInputs.h"
#include "util/RunOutcome.h"
#include "util/TaskHost.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Merge {

inline constexpr const char* kNoFilesMessage = "You need at least one file!";
inline constexpr const char* kConfirmCaption = "Confirm";
inline constexpr const char* kConfirmText =
    "The output file already exists.\r\nDo you want to merge the files to it?";
// The separator used until the user changes it.
inline constexpr const char* kDefaultSeparator = "\r\n==== New file ===\r\n\r\n";

using QuillTPU::RunOutcome;

class MergeRun {
public:
    MergeRun(QuillTPU::ITaskHost& host, IMergeInputs& inputs);

    // The millisecond clock that spaces the status line's repaints.
    void SetClock(std::function<std::uint32_t()> tickCount) { FTickCount = std::move(tickCount); }
    // The character set the separator is written in; the user's by default.
    void SetCodeset(std::string codeset) { FCodeset = std::move(codeset); }
    // Asked before every file and between the 64 MB pieces of a large one
    // (the command line's Ctrl+C); the window's merge has none.
    void SetStopCheck(StopCheck stop) { FStop = std::move(stop); }

    // Errors are not caught: a file that cannot be opened, read or written
    // (the separator too) ends the run at that file with an FvError whose
    // text is the one to show; what was written before it stays.
    RunOutcome Execute();

private:
    // Returns whether it is time to look the output's name up again.
    bool ShowProgress(std::int64_t index, std::int64_t last);
    const std::string& SeparatorBytes();
    void ShowLeftOut(const std::vector<std::string>& names);

    QuillTPU::ITaskHost& FHost;
    IMergeInputs& FInputs;
    std::function<std::uint32_t()> FTickCount;
    std::string FCodeset;
    bool FPainted = false;
    std::uint32_t FLastPaint = 0;
    StopCheck FStop;
    // The last separator converted, as typed and as written.
    std::string FSeparatorTyped;
    std::string FSeparatorBytes;
    bool FSeparatorReady = false;
};

} // namespace Merge
