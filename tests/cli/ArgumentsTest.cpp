// SIZE as the window writes it and as dd and fio do: every form is a power of
// 1024, a decimal point only where the bytes come out whole.
#include "cli/Arguments.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct SizeCase {
    std::string text;
    std::optional<Cli::Size> expected; // nullopt: refused as a usage error
};

} // namespace

TEST(ParseSize, AcceptsTheWrittenFormsAndRefusesTheRest) {
    const std::vector<SizeCase> cases = {
        {"4812B", Cli::Size{4812, 1, 4812}},
        {"10MB", Cli::Size{10, 1048576, 10485760}},
        {"10M", Cli::Size{10, 1048576, 10485760}},
        {"10MiB", Cli::Size{10, 1048576, 10485760}},
        {"10mib", Cli::Size{10, 1048576, 10485760}},
        {"3k", Cli::Size{3, 1024, 3072}},
        {"3KiB", Cli::Size{3, 1024, 3072}},
        {"2G", Cli::Size{2, 1073741824, 2147483648}},
        // A fraction reads in the largest unit that holds it whole.
        {"1.5G", Cli::Size{1536, 1048576, 1610612736}},
        {"1.5GiB", Cli::Size{1536, 1048576, 1610612736}},
        {"1.50M", Cli::Size{1536, 1024, 1572864}},
        {"0.5K", Cli::Size{512, 1, 512}},
        {"1.0G", Cli::Size{1, 1073741824, 1073741824}},
        {"8589934591G", Cli::Size{8589934591, 1073741824, 9223372035781033984}},
        {"1.3K", std::nullopt}, // 1331.2 bytes
        {"0.5B", std::nullopt},
        {"8589934592G", std::nullopt}, // beyond 64 bits
        {"1e3", std::nullopt},
        {"1000", std::nullopt},
        {"10 MB", std::nullopt},
        {"10BB", std::nullopt},
        {"10XB", std::nullopt},
        {"10MBB", std::nullopt},
        {"1.G", std::nullopt},
        {".5G", std::nullopt},
        {"1.2.3M", std::nullopt},
        {"-1M", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (!c.expected) {
            EXPECT_THROW(Cli::ParseSize("--size", c.text), Cli::UsageError);
            continue;
        }
        const Cli::Size size = Cli::ParseSize("--size", c.text);
        EXPECT_EQ(size.number, c.expected->number);
        EXPECT_EQ(size.unitBytes, c.expected->unitBytes);
        EXPECT_EQ(size.bytes, c.expected->bytes);
    }
}
