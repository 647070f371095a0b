#pragma once
// The merged file during one run. The contract is that of
// QuillTPU::AppendFileTo (open the output for writing, position it at its
// end, copy the whole source), with the copy done inside the kernel where
// the file systems allow it, and the output kept open from one file to the
// next instead of being opened again for every file and every separator.
#include "platform/UniqueFd.h"

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>

namespace Merge {

// Asked between two pieces of a large file (64 MB): true stops the copy.
using StopCheck = std::function<bool()>;

enum class AppendResult {
    Appended, // the whole source
    IsOutput, // nothing: the source is the output itself
    Stopped,  // the stop check said so; what went before stays
};

class MergeOutput {
public:
    MergeOutput() = default; // the destructor closes quietly
    MergeOutput(const MergeOutput&) = delete;
    MergeOutput& operator=(const MergeOutput&) = delete;

    void SetStopCheck(StopCheck stop) { FStop = std::move(stop); }

    // Appends the whole of source, a regular file, to the end of the file
    // called name, which must exist. IsOutput, with nothing written, for a
    // source that is the output itself (through a link or a hard link too),
    // which would otherwise be copied into itself for ever. lookUpName: look
    // the output's name up again first (see Reach); otherwise the same name
    // is taken to lead to the same file. Raises FileOpenError for a file
    // that cannot be opened or is no regular file; StreamReadError /
    // StreamWriteError, naming the file and the reason, for a failed read or
    // write. What was written before a failure or a stop stays.
    AppendResult AppendFile(const std::string& source, const std::string& name, bool lookUpName);
    // Appends bytes to the end of the file called name (created when there is
    // none). A write that comes up short (a full volume) is a StreamWriteError.
    void AppendBytes(const std::string& name, const std::string& bytes);
    // Closes the output; a failed close is a StreamWriteError.
    void Close();

private:
    // A name other than the open one is opened. When lookUp is set the name
    // is looked up again, as opening it afresh would: a name that now leads
    // to another file, or to none, is opened anew (and fails as an open
    // would), and a file another program has written to meanwhile is
    // written at its new end.
    void Reach(const std::string& name, bool create, bool lookUp);

    Platform::UniqueFd FFd;
    std::string FName;
    dev_t FDevice{};
    ino_t FInode{};
    std::int64_t FPosition = -1; // where our next byte goes; -1 unknown
    StopCheck FStop;
};

} // namespace Merge
