#pragma once
// What the merge run reads from the Merge files tab. The run does not pump
// messages, so nothing can change while it runs; it still reads each value
// where the tab's own handler would, so the tab need cache nothing.
#include <string>
#include <vector>

namespace Merge {

class IMergeInputs {
public:
    virtual ~IMergeInputs() = default;
    // The names the file list shows, bare (no folder), in the list's order;
    // read at the start (is there any?) and once more before the first file.
    // The run takes them as they are; it never re-reads the folder.
    virtual std::vector<std::string> ListedFiles() = 0;
    // The folder list's current folder; read for every file.
    virtual std::string Folder() = 0;
    // The output name as typed (normally a full path; a relative one is taken
    // from the process's current folder); read at the start and for every file.
    virtual std::string OutputName() = 0;
    // The separator memo's text as typed: UTF-8, lines broken by "\n" or
    // "\r\n"; read for every file.
    virtual std::string SeparatorText() = 0;
};

} // namespace Merge
