// Masks and mask lists as a user types them, matched against a name.
#include "util/FileMask.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The first line is the mask list, the rest the entry to match.
    const std::size_t newline = input.find('\n');
    const std::string masks = input.substr(0, newline);
    const std::string entry = newline == std::string::npos ? "" : input.substr(newline + 1);
    for (const auto& mask : QuillTPU::SplitMaskList(masks)) {
        try {
            const QuillTPU::TFileMask parsed(mask);
            const bool matches = parsed.Matches(entry);
            // A mask of stars alone covers every entry.
            if (!mask.empty() && mask.find_first_not_of('*') == std::string::npos && !matches)
                __builtin_trap();
        } catch (const QuillTPU::EInvalidMask&) {
        }
    }
    return 0;
}
