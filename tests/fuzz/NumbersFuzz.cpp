// Number texts: what the program writes reads back as the number it stood
// for, within the cut or rounding the form allows, and what a user types
// as a SIZE or whole number parses to what was meant.
#include "cli/Arguments.h"
#include "platform/Locale.h"
#include "util/Format.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

long double ParseBack(const std::string& text) {
    std::string plain;
    for (const char c : text)
        if (c != ',')
            plain += c;
    char* end = nullptr;
    const long double value = std::strtold(plain.c_str(), &end);
    // Only a unit may follow the number.
    if (end == plain.c_str())
        __builtin_trap();
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10)
        return 0;
    Platform::SetLocaleSeparators({",", "."});
    std::int64_t whole;
    std::memcpy(&whole, data, sizeof whole);
    const auto decimals = static_cast<std::uint8_t>(data[8] % 20);
    const std::uint8_t unitChoice = data[9];

    // FormatSize: bytes exactly below 1 KB, else one decimal of the unit.
    const std::string sizeText = QuillTPU::FormatSize(whole);
    if (whole != 0 && whole < 1024) {
        if (ParseBack(sizeText) != static_cast<long double>(whole))
            __builtin_trap();
    } else if (whole >= 1024) {
        int shift = 10;
        for (const auto& [suffix, bits] : {std::pair{" TB", 40}, {" GB", 30}, {" MB", 20}})
            if (sizeText.size() > 3 && sizeText.compare(sizeText.size() - 3, 3, suffix) == 0)
                shift = bits;
        const long double back = ParseBack(sizeText) * std::ldexp(1.0L, shift);
        if (std::fabs(back - static_cast<long double>(whole)) > 0.05001L * std::ldexp(1.0L, shift))
            __builtin_trap();
    }

    // FormatReal: cut to `decimals`; a large value keeps its exponent.
    long double real;
    static_assert(sizeof(double) == sizeof whole);
    double asDouble;
    std::memcpy(&asDouble, data, sizeof asDouble);
    real = asDouble;
    if (!std::isnan(real) && !std::isinf(real)) {
        const std::string text = QuillTPU::FormatReal(real, decimals);
        const long double back = ParseBack(text);
        const long double step = std::pow(10.0L, -static_cast<long double>(decimals));
        const long double error = std::fabs(back - real);
        const bool scientific = text.find('E') != std::string::npos;
        const long double allowed =
            scientific ? std::fabs(real) * (step + 1e-14L) : step + std::fabs(real) * 1e-14L;
        if (error > allowed)
            __builtin_trap();
    }

    // Typed numbers: a whole number and a SIZE read back as written.
    if (whole >= 0 && whole < 1000000000000000000) {
        const std::string digits = std::to_string(whole);
        if (Cli::ParseWhole("--n", digits, 0, whole) != whole)
            __builtin_trap();
        static const char* const kUnits[] = {"B", "kb", "MB", "Gb"};
        static const std::int64_t kBytes[] = {1, 1024, 1048576, 1073741824};
        const int u = unitChoice % 4;
        try {
            const Cli::Size s = Cli::ParseSize("--size", digits + kUnits[u]);
            if (s.number != whole || s.unitBytes != kBytes[u] || s.bytes != whole * kBytes[u])
                __builtin_trap();
        } catch (const Cli::UsageError&) {
            // Refused only when the bytes do not fit 64 bits.
            if (whole <= INT64_MAX / kBytes[u])
                __builtin_trap();
        }
    }
    return 0;
}
