#pragma once
// Which files of a folder a merge joins, and in which order. The window's
// file list and the command line both list through here, so the same folder
// and masks give the same sources everywhere.
#include <string>
#include <vector>

namespace Merge {

// An entry of the folder that is no source, and why: "hidden", "a folder",
// "a link that leads nowhere", "no regular file", "does not match the mask".
struct LeftOutEntry {
    std::string name;
    std::string reason;
};

struct SourceList {
    // Bare names as the folder holds them (bytes, not always UTF-8), sorted
    // by name without regard to case. A file that matches two masks stands
    // twice, side by side, and is merged twice.
    std::vector<std::string> names;
    // The other entries, in the folder's own order.
    std::vector<LeftOutEntry> leftOut;
    // The message of each mask that is no mask (an unclosed "[", as while
    // typing); such a mask lists nothing.
    std::vector<std::string> invalidMasks;
    // errno when the folder could not be read; nothing is listed then.
    int error = 0;
};

// The regular files of folder, and links to one, that are not hidden and
// match masks: patterns separated by ";" (a blank belongs to its pattern),
// each matched without regard to case, "*.*" covering every name. An empty
// pattern lists nothing. Sub-folders are neither listed nor searched. A pipe
// or a device is never a source: reading one could block or never end.
SourceList ListSources(const std::string& folder, const std::string& masks);

} // namespace Merge
