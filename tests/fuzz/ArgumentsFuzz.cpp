// A command line (arguments split at zero bytes) through the option parser
// and the SIZE and number parsers, as a command uses them.
#include "cli/Arguments.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    static const std::vector<Cli::OptionRule> rules = {
        {"--size", true, Cli::kSizeForms},
        {"--count", true, "a whole number"},
        {"--buffer", true, "KB"},
        {"--json", false, ""},
        {"--yes", false, ""},
        {"-q", false, ""},
    };
    try {
        const Cli::Arguments parsed(rules, args);
        parsed.OneOf({"--json", "--yes"});
        if (const auto size = parsed.Value("--size")) {
            const Cli::Size s = Cli::ParseSize("--size", *size);
            if (s.number < 0 || s.bytes != s.number * s.unitBytes)
                __builtin_trap();
        }
        if (const auto count = parsed.Value("--count")) {
            const auto n = Cli::ParseWhole("--count", *count, 1, 1000000);
            if (n < 1 || n > 1000000)
                __builtin_trap();
        }
        if (const auto buffer = parsed.Value("--buffer")) {
            const auto units = Cli::ParseSizeIn("--buffer", *buffer, 1024, "KB", 4, 65536);
            if (units < 4 || units > 65536)
                __builtin_trap();
        }
        parsed.Exactly({"FOLDER"});
    } catch (const Cli::UsageError&) {
    } catch (const Cli::HelpRequested&) {
    }
    return 0;
}
