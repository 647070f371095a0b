// The man page cannot read the tools' bounds and defaults as the help does:
// every range and default it documents is held to the constants the program
// uses, so a changed bound cannot leave the page saying the old one.
#include "cli/Arguments.h"
#include "cli/ToolBounds.h"
#include "tools/generator/GeneratorInputs.h"
#include "tools/profile/ProfileInputs.h"
#include "tools/speedtest/SpeedTestInputs.h"
#include "tools/wipe/WipeInputs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// How a documented value is read: a number, a SIZE (compared in bytes) or
// a text as it stands.
enum class Kind { Number, Size, Text };

struct Documented {
    const char* section; // the command's ".SS" heading
    const char* option;  // the option whose paragraph documents the values
    const char* pattern; // one capture group per value, in expected's order
    Kind kind;
    std::vector<std::string> expected;
};

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Bytes(std::int64_t count, std::int64_t unit) {
    return std::to_string(count * unit);
}

std::string Normal(const std::string& captured, Kind kind) {
    switch (kind) {
    case Kind::Number:
        return Number(std::stod(captured));
    case Kind::Size:
        return std::to_string(Cli::ParseSize("man page", captured).bytes);
    case Kind::Text:
        break;
    }
    return captured;
}

// The option's paragraph in the command's section, its lines joined by
// blanks: from the line that names the option to the next paragraph.
std::string Paragraph(const std::string& page, const std::string& section,
                      const std::string& option) {
    std::istringstream lines(page);
    std::string line;
    std::string text;
    bool inSection = false;
    bool inOption = false;
    while (std::getline(lines, line)) {
        const bool heading = line.rfind(".SS", 0) == 0 || line.rfind(".SH", 0) == 0;
        if (heading)
            inSection = line == ".SS " + section;
        if (inOption && (heading || line.rfind(".TP", 0) == 0 || line.rfind(".PP", 0) == 0))
            return text;
        if (inSection && !inOption &&
            (line.rfind(".BI " + option, 0) == 0 || line.rfind(".B " + option, 0) == 0))
            inOption = true;
        if (inOption)
            text += line + " ";
    }
    return text;
}

} // namespace

TEST(ManPage, DocumentsTheToolsOwnBoundsAndDefaults) {
    using namespace Generator;
    constexpr std::int64_t MB = 1048576;
    const auto numbers = [](auto bounds) {
        return std::vector<std::string>{Number(bounds.minimum), Number(bounds.maximum),
                                        Number(bounds.defaultValue)};
    };
    const auto sizes = [](auto bounds, std::int64_t unit) {
        return std::vector<std::string>{Bytes(bounds.minimum, unit), Bytes(bounds.maximum, unit),
                                        Bytes(bounds.defaultValue, unit)};
    };
    const std::vector<Documented> rows = {
        {"generate", R"(\-\-count)", R"((\S+) to (\S+)\. Default (\S+)\.)", Kind::Number,
         numbers(kNumberOfFiles)},
        {"generate",
         R"(\-\-size)",
         R"(the number is (\S+) to (\S+)\.)",
         Kind::Number,
         {Number(kSizeNumber.minimum), Number(kSizeNumber.maximum)}},
        {"generate",
         R"(\-\-size)",
         R"(Default (\S+)\.)",
         Kind::Size,
         {Bytes(kSizeNumber.defaultValue, static_cast<std::int64_t>(kDefaultSizeUnit))}},
        {"generate",
         R"(\-\-name)",
         R"(the defaults are (\S+) and (\S+)\.)",
         Kind::Text,
         {kDefaultPatternName, kDefaultPatternExtension}},
        {"generate",
         R"(\-\-text )",
         R"(At most (\S+) characters)",
         Kind::Number,
         {Number(Cli::kFillTextLimit)}},
        {"generate",
         R"(\-\-unique)",
         R"(Appends (\S+) random bytes)",
         Kind::Number,
         {Number(kUniqueTail)}},
        {"generate", R"(\-\-buffer)", R"((\S+) to (\S+) in whole kilobytes\. Default (\S+)\.)",
         Kind::Size, sizes(kBufferSizeKB, 1024)},
        {"speed", R"(\-\-size)", R"((\S+) to (\S+) in whole megabytes\. Default (\S+)\.)",
         Kind::Size, sizes(SpeedTest::kTestSizeMB, MB)},
        {"speed",
         R"(\-\-profile)",
         R"(measured for (\S+) s after (\S+) s of warm-up)",
         Kind::Number,
         {Number(Profile::kMeasureSeconds.defaultValue),
          Number(Profile::kWarmupSeconds.defaultValue)}},
        {"wipe", R"(\-\-passes)", R"((\S+) to (\S+)\. Default (\S+)\.)", Kind::Number,
         numbers(Wipe::kPasses)},
        {"wipe", R"(\-\-buffer)", R"((\S+) to (\S+) in whole megabytes\. Default (\S+)\.)",
         Kind::Size, sizes(Wipe::kBufferSizeMB, MB)},
    };

    std::ifstream file(FV_MAN_PAGE);
    ASSERT_TRUE(file) << FV_MAN_PAGE;
    const std::string page((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    for (const Documented& row : rows) {
        SCOPED_TRACE(std::string(row.section) + " " + row.option + ": " + row.pattern);
        const std::string text = Paragraph(page, row.section, row.option);
        std::smatch match;
        ASSERT_TRUE(std::regex_search(text, match, std::regex(row.pattern))) << text;
        ASSERT_EQ(match.size(), row.expected.size() + 1);
        for (std::size_t i = 0; i < row.expected.size(); ++i)
            EXPECT_EQ(Normal(match[i + 1].str(), row.kind), row.expected[i]) << text;
    }
}
