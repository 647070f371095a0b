#pragma once
// What the path edit makes of a typed path, without the widget around it:
// which name the last part completes to. The file system is asked through
// TPathQuery, so the box reads the disk and a test or fuzzer answers from
// a table.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TPathQuery {
    // The names a folder holds in the file system's order ("." and ".."
    // too); empty when it cannot be read.
    std::function<std::vector<std::string>(const std::string& folder)> Names;
    // An entry's attribute word (see Platform::faReadOnly and kin): what a
    // link leads to, else the link itself; none when the entry is gone.
    std::function<std::optional<std::uint32_t>(const std::string& path)> Attributes;
};

// The name to complete prefix to, from a folder's names in the file
// system's order: the name equal to prefix when it is offered, else the
// first offered name that begins with it.
std::optional<std::string> BestPathMatch(const std::vector<std::string>& names,
                                         const std::string& prefix,
                                         const std::function<bool(const std::string&)>& offered);

// The characters that complete typed (UTF-8, what the user typed with any
// suggestion taken out): the rest of the best entry of the named folder
// whose attributes share a bit with mask. None when nothing is to be
// completed: a relative text, a drive letter, a text ending in "/" or one
// no entry continues.
std::optional<std::string> PathCompletion(const std::string& typed, std::uint32_t mask,
                                          const TPathQuery& query);

// The query the box uses: the folder as read from the disk.
TPathQuery DiskPathQuery();
