#pragma once
// Appending to the merged file. The same contract as QuillTPU::AppendFileTo
// (which stays the reference), with the copy done inside the kernel where
// the file systems allow it.
#include <string>

namespace Merge {

// Appends the whole of source to the end of dest, which must exist. The
// output is opened for writing and positioned at its end (the kernel copy
// refuses an output opened for appending). Raises FileOpenError for a file
// that cannot be opened, and for a source that is dest itself (through a
// link or a hard link too), which would otherwise be copied into itself
// for ever; StreamReadError / StreamWriteError for a failed read or write.
// What was written before a failure stays.
void AppendFile(const std::string& source, const std::string& dest);

// Appends bytes to the end of dest (created when it does not exist). Raises
// like AppendFile; a write that comes up short (a full volume) is a
// StreamWriteError.
void AppendBytes(const std::string& dest, const std::string& bytes);

} // namespace Merge
