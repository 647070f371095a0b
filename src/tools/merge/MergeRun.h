#pragma once
// The merge run behind "Merge": appends every listed file, each followed by
// the separator, to the output file. It runs to its end without pumping
// messages and cannot be cancelled, so it begins no task; it only writes
// the status line.
#include "tools/merge/MergeInputs.h"
#include "util/TaskHost.h"

#include <cstdint>
#include <functional>
#include <string>

namespace Merge {

inline constexpr const char* kNoFilesMessage = "You need at least one file!";
inline constexpr const char* kConfirmCaption = "Confirm";
inline constexpr const char* kConfirmText =
    "The output file already exists.\r\nDo you want to merge the files to it?";
// The separator used until the user changes it.
inline constexpr const char* kDefaultSeparator = "\r\n==== New file ===\r\n\r\n";

enum class RunOutcome {
    Done,    // every listed file appended, each with the separator
    NoFiles, // the list was empty: the warning, and nothing touched
};

class MergeRun {
public:
    MergeRun(QuillTPU::ITaskHost& host, IMergeInputs& inputs);

    // The millisecond clock that spaces the status line's repaints.
    void SetClock(std::function<std::uint32_t()> tickCount) { FTickCount = std::move(tickCount); }
    // The character set the separator is written in; the user's by default.
    void SetCodeset(std::string codeset) { FCodeset = std::move(codeset); }

    // Errors are not caught: a file that cannot be opened, read or written
    // (the separator too) ends the run at that file with an FvError whose
    // text is the one to show; what was written before it stays.
    RunOutcome Execute();

private:
    void ShowProgress(std::int64_t index, std::int64_t last);
    const std::string& SeparatorBytes();

    QuillTPU::ITaskHost& FHost;
    IMergeInputs& FInputs;
    std::function<std::uint32_t()> FTickCount;
    std::string FCodeset;
    bool FPainted = false;
    std::uint32_t FLastPaint = 0;
    // The last separator converted, as typed and as written.
    std::string FSeparatorTyped;
    std::string FSeparatorBytes;
    bool FSeparatorReady = false;
};

} // namespace Merge
