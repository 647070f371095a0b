#include "cli/Support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <sys/statvfs.h>

namespace Cli {

std::string WithCrLf(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            result += '\r';
        result += text[i];
    }
    return result;
}

std::string JsonString(const std::string& text) {
    // A name that is no UTF-8 (Linux allows any bytes) is shown byte by
    // byte, as Latin-1, so the output stays valid JSON.
    const bool utf8 = Utf8ToUtf16(text).has_value();
    std::string result = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 ||
                (!utf8 && static_cast<unsigned char>(c) >= 0x80)) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
                result += escape;
            } else {
                result += c;
            }
        }
    }
    return result + "\"";
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::string result = "[";
    for (std::size_t i = 0; i < texts.size(); ++i)
        result += (i ? ", " : "") + JsonString(texts[i]);
    return result + "]";
}

std::string JsonReal(double value, int decimals) {
    // Not printf: a locale with a decimal comma would make it no number.
    const double scale = std::pow(10.0, decimals);
    const auto scaled = static_cast<long long>(std::llround(value * scale));
    const long long whole = scaled / static_cast<long long>(scale);
    std::string text = std::to_string(whole);
    if (decimals > 0) {
        std::string fraction = std::to_string(scaled % static_cast<long long>(scale));
        fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
        text += "." + fraction;
    }
    return text;
}

bool JsonAsked(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--json")
            return true;
    }
    return false;
}

std::string JsonFailure(const std::string& error, int status) {
    return "{\"error\": " + JsonString(error) + ", \"exitStatus\": " + std::to_string(status) +
           "}\n";
}

std::string EscapeControls(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            result += "\\n";
        else if (c == '\r')
            result += "\\r";
        else if (c == '\t')
            result += "\\t";
        else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            result += escape;
        } else {
            result += c;
        }
    }
    return result;
}

std::optional<std::int64_t> FreeBytesFor(const std::string& path) {
    std::string probe = path.empty() ? "." : path;
    for (;;) {
        struct statvfs info {};
        if (::statvfs(probe.c_str(), &info) == 0)
            return SaturatingProduct(static_cast<std::int64_t>(info.f_bavail),
                                     static_cast<std::int64_t>(info.f_frsize));
        // Not there yet: the folder will be made on the volume above it.
        while (probe.size() > 1 && probe.back() == '/')
            probe.pop_back();
        const std::size_t slash = probe.find_last_of('/');
        if (slash == std::string::npos) {
            if (probe == ".")
                return std::nullopt;
            probe = '.';
        } else if (slash == 0) {
            if (probe == "/")
                return std::nullopt;
            probe = '/';
        } else {
            probe.resize(slash);
        }
    }
}

std::int64_t SaturatingProduct(std::int64_t a, std::int64_t b) {
    std::int64_t product;
    if (__builtin_mul_overflow(a, b, &product))
        return std::numeric_limits<std::int64_t>::max();
    return product;
}

} // namespace Cli
