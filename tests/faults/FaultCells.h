#pragma once
// What the fault tables of the drive tools and the merge share: the kinds of
// outcome a cell expects and the checks every cell makes.
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace FaultCells {

enum class Expect {
    Done,     // the run ends well; every file complete
    Fails,    // reported with the file and the system's reason
    Canceled, // a cancel while the calls are slow ends the run within a second
};

// The status a command line run ends with is its last line.
inline std::string LastLine(const std::string& text) {
    const std::size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return {};
    const std::size_t start = text.find_last_of('\n', end);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    return text.substr(from, end + 1 - from);
}

inline std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A file of the user's in `folder`, which no fault may touch.
inline std::string UserFile(const std::string& folder) {
    const std::string path = folder + "/mine.txt";
    std::ofstream(path) << "the user's";
    return path;
}

} // namespace FaultCells
