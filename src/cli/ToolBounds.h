#pragma once
// The tools' bounds and defaults on the command line: help and option texts
// built from them, so a changed range never leaves the help saying the old
// one, and the options that two commands share.
#include "cli/Arguments.h"
#include "tools/speedtest/SpeedTestInputs.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace Cli {

// The command line's own cap on a fill text; the window's is far higher.
inline constexpr std::size_t kFillTextLimit = 1024;

// A byte count in the largest of B, KB and MB that holds it whole: "1KB",
// "100MB", "50000MB" (never GB, which the texts do not use).
inline std::string WholeSize(std::int64_t bytes) {
    if (bytes != 0 && bytes % 1048576 == 0)
        return std::to_string(bytes / 1048576) + "MB";
    if (bytes != 0 && bytes % 1024 == 0)
        return std::to_string(bytes / 1024) + "KB";
    return std::to_string(bytes) + "B";
}

// Seconds as few digits as they need: "5", "0.5".
inline std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// The pattern with each "{}" replaced by the next value, in order.
inline std::string Fill(const char* pattern, std::initializer_list<std::string> values) {
    std::string text = pattern;
    std::size_t at = 0;
    for (const std::string& value : values) {
        at = text.find("{}", at);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, value);
        at += value.size();
    }
    return text;
}

// --size of speed and speed --profile: the test file in whole MB.
inline OptionRule TestSizeRule() {
    using SpeedTest::kTestSizeMB;
    return {"--size", true,
            Fill("the test file's size, {} to {} in whole MB (default {})",
                 {WholeSize(kTestSizeMB.minimum * 1048576LL),
                  WholeSize(kTestSizeMB.maximum * 1048576LL),
                  WholeSize(kTestSizeMB.defaultValue * 1048576LL)})};
}

inline std::int64_t TestSizeMB(const Arguments& arguments) {
    using SpeedTest::kTestSizeMB;
    const auto size = arguments.Value("--size");
    return size ? ParseSizeIn("--size", *size, 1048576, "MB", kTestSizeMB.minimum,
                              kTestSizeMB.maximum)
                : kTestSizeMB.defaultValue;
}

} // namespace Cli
