#include "util/Utf8.h"

#include <clocale>
#include <cwctype>
#include <langinfo.h>
#include <locale.h>

namespace QuillTPU {

namespace {

constexpr char32_t kEscapeBase = 0xDC00; // + the byte: 0xDC80 .. 0xDCFF

bool IsEscape(char32_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// Decodes one sequence at text[i] into *c; returns its length, or 0 when
// no valid sequence starts there.
std::size_t DecodeAt(const std::string& text, std::size_t i, char32_t* c) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80) {
        *c = b;
        return 1;
    }
    const std::size_t n = (b & 0xE0) == 0xC0   ? 2
                          : (b & 0xF0) == 0xE0 ? 3
                          : (b & 0xF8) == 0xF0 ? 4
                                               : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    char32_t value = b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    // Over-long forms, surrogates and values past U+10FFFF are no text:
    // taking them would let two byte strings decode alike.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[n] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return 0;
    *c = value;
    return n;
}

// The locale whose case rules apply: the user's, or Unicode's where the
// user's character set cannot hold the text.
locale_t CaseLocale() {
    static const locale_t locale = [] {
        locale_t user = ::newlocale(LC_CTYPE_MASK, "", locale_t(0));
        if (user) {
            const std::string codeset = ::nl_langinfo_l(CODESET, user);
            if (codeset == "UTF-8")
                return user;
            ::freelocale(user);
        }
        locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        return unicode ? unicode : ::newlocale(LC_CTYPE_MASK, "C", locale_t(0));
    }();
    return locale;
}

template <typename Convert> std::string MapCase(const std::string& text, Convert convert) {
    std::u32string points = DecodeUtf8(text);
    for (char32_t& c : points)
        if (!IsEscape(c))
            c = static_cast<char32_t>(convert(static_cast<wint_t>(c), CaseLocale()));
    return EncodeUtf8(points);
}

} // namespace

std::u32string DecodeUtf8(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t n = DecodeAt(text, i, &c);
        if (n == 0) {
            out += kEscapeBase + static_cast<unsigned char>(text[i]);
            ++i;
        } else {
            out += c;
            i += n;
        }
    }
    return out;
}

std::string EncodeUtf8(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text) {
        if (IsEscape(c)) {
            out += static_cast<char>(c - kEscapeBase);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::u16string> Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t n = DecodeAt(text, i, &c);
        if (n == 0)
            return std::nullopt;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += n;
    }
    return out;
}

std::string LocaleUpperCase(const std::string& text) {
    return MapCase(text, ::towupper_l);
}

std::string LocaleLowerCase(const std::string& text) {
    return MapCase(text, ::towlower_l);
}

} // namespace QuillTPU
