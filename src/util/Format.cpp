// Numbers and texts as the program writes them.
#include "util/Format.h"
#include "util/Checks.h"

#include "platform/Locale.h"

#include <charconv>
#include <cmath>

namespace QuillTPU {

namespace {

// A non-negative decimal number as its digits, the point after intCount.
struct Decimal {
    std::string digits;
    std::size_t intCount;
};

// Keeps the first `keep` digits, rounding half away from zero.
void RoundAt(Decimal& d, std::size_t keep) {
    if (d.digits.size() <= keep) {
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (!up)
        return;
    std::size_t i = keep;
    while (i > 0 && d.digits[i - 1] == '9')
        d.digits[--i] = '0';
    if (i == 0) {
        d.digits.insert(d.digits.begin(), '1');
        ++d.intCount;
    } else {
        ++d.digits[i - 1];
    }
}

// The exact decimal expansion of value / 2^shift (shift <= 40).
Decimal ExactQuotient(std::uint64_t value, unsigned shift) {
    const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
    Decimal d{std::to_string(value >> shift), 0};
    d.intCount = d.digits.size();
    std::uint64_t fraction = value & mask; // below 2^40, so *10 cannot overflow
    // A binary fraction of n bits has exactly n decimal digits.
    for (unsigned i = 0; i < shift; ++i) {
        fraction *= 10;
        d.digits.push_back(static_cast<char>('0' + static_cast<int>(fraction >> shift)));
        fraction &= mask;
    }
    return d;
}

std::string GroupThousands(const std::string& digits) {
    const std::string& separator = Platform::LocaleSeparators().thousands;
    std::string result;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            result += separator;
        result += digits[i];
    }
    return result;
}

std::uint64_t Magnitude(std::int64_t value) {
    return value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                     : static_cast<std::uint64_t>(value);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    std::string result;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string::npos)
            break;
        result.append(text, pos, hit - pos);
        result += to;
        pos = hit + from.size();
    }
    result.append(text, pos, std::string::npos);
    text = std::move(result);
}

template <class S> S CopyRangeOf(const S& text, std::int32_t fromPos, std::int32_t toPos) {
    const std::int32_t count = CheckedAdd(CheckedSub(toPos, fromPos), std::int32_t{1});
    if (count <= 0)
        return S();
    const std::int64_t start = fromPos < 1 ? 1 : fromPos;
    if (start > static_cast<std::int64_t>(text.size()))
        return S();
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

} // namespace

std::string FormatSize(std::int64_t size) {
    static constexpr struct {
        unsigned shift;
        const char* suffix;
    } kUnits[] = {{40, " TB"}, {30, " GB"}, {20, " MB"}, {10, " KB"}};
    if (size == 0)
        return "0 Byte";
    if (size >= 1024) {
        const auto value = static_cast<std::uint64_t>(size);
        for (const auto& unit : kUnits) {
            if (value >> unit.shift == 0)
                continue;
            // "#,##0.0": the value rounded first to 18 significant digits,
            // then to one decimal, halves away from zero.
            Decimal d = ExactQuotient(value, unit.shift);
            RoundAt(d, 18);
            RoundAt(d, d.intCount + 1);
            d.digits.resize(std::max(d.digits.size(), d.intCount + 1), '0');
            return GroupThousands(d.digits.substr(0, d.intCount)) +
                   Platform::LocaleSeparators().decimal + d.digits[d.intCount] + unit.suffix;
        }
    }
    const std::string digits = GroupThousands(std::to_string(Magnitude(size)));
    return (size < 0 ? "-" : "") + digits + " Bytes";
}

std::string FormatReal(long double value, std::uint8_t decimals) {
    FV_ASSERT(!std::isnan(value), "Float number is NAN!");
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    std::string text;
    if (value == 0) {
        text = "0";
    } else {
        // General form, 15 significant digits, like printf's %.15Lg but
        // independent of the process locale.
        char buffer[128];
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
        text.assign(buffer, result.ptr);
        const std::size_t e = text.find('e');
        if (e != std::string::npos) {
            std::string mantissa = text.substr(0, e);
            const int exponent = std::stoi(text.substr(e + 1));
            const bool negative = mantissa[0] == '-';
            if (negative)
                mantissa.erase(0, 1);
            std::string digits;
            for (char c : mantissa)
                if (c != '.')
                    digits += c;
            while (digits.size() > 1 && digits.back() == '0')
                digits.pop_back();
            if (exponent < 0) {
                // Below 0.0001: plain fixed point, so a tiny speed or free
                // space reads "0.00", not a cut mantissa such as "5".
                text = std::string(negative ? "-0." : "0.")
                           .append(static_cast<std::size_t>(-exponent - 1), '0') +
                       digits;
            } else {
                // The cut applies to the mantissa: cutting the whole text
                // took the exponent with it (1.2345E20 read "1.23").
                std::string m = digits.substr(0, 1);
                if (digits.size() > 1 && decimals > 0) {
                    m += '.';
                    m += digits.substr(1, decimals);
                }
                std::string result(negative ? "-" : "");
                result += m;
                result += 'E';
                result += std::to_string(exponent);
                return result;
            }
        }
    }
    const std::size_t point = text.find('.');
    if (point != std::string::npos)
        text.resize(std::min(text.size(), point + 1 + decimals));
    return text;
}

std::string FormatInteger(std::int32_t value) {
    return std::to_string(value);
}

std::string FormatInteger(std::int64_t value) {
    return std::to_string(value);
}

std::string ReplaceCRLF(const std::string& text) {
    std::string result = text;
    ReplaceAll(result, "CRLF ", "CRLF");
    ReplaceAll(result, " CRLF ", "CRLF");
    ReplaceAll(result, "CRLF", "\r\n");
    return result;
}

std::u16string CopyRange(const std::u16string& text, std::int32_t fromPos, std::int32_t toPos) {
    return CopyRangeOf(text, fromPos, toPos);
}

std::string CopyRange(const std::string& text, std::int32_t fromPos, std::int32_t toPos) {
    return CopyRangeOf(text, fromPos, toPos);
}

} // namespace QuillTPU
