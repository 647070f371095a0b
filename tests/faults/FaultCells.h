#pragma once
// What the fault tables of the drive tools and the merge share: the kinds of
// outcome a cell expects and the checks every cell makes.
#include "CliProcess.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
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

// One command-line cell: a Ctrl+C once `begun` holds (for a cancel cell),
// the wait, and what every cell checks: the run ends within seconds, a
// Ctrl+C within one, with the exit status the cell expects, and the user's
// file is as it was.
inline CliResult RunCliCell(CliProcess& cli, Expect expect, const std::function<bool()>& begun,
                            const std::string& userFile) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point canceledAt{};
    if (expect == Expect::Canceled) {
        EXPECT_TRUE(CliProcess::WaitFor(begun)) << "the run never reached the volume";
        cli.Signal(SIGINT);
        canceledAt = Clock::now();
    }
    const auto start = Clock::now();
    CliResult result = cli.Wait();
    const auto end = Clock::now();
    EXPECT_LT(end - start, std::chrono::seconds(10));
    if (expect == Expect::Canceled) {
        EXPECT_LT(end - canceledAt, std::chrono::seconds(1));
    }
    EXPECT_EQ(ReadAll(userFile), "the user's") << "the user's file changed";
    const int status = expect == Expect::Done ? 0 : expect == Expect::Canceled ? 130 : 1;
    EXPECT_EQ(result.status, status) << result.out + result.err;
    return result;
}

} // namespace FaultCells
