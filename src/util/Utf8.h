#pragma once
// UTF-8 text as code points, and case mapping by the user's locale. Names
// on Linux are bytes, not always valid UTF-8: a byte that starts no valid
// sequence stands for itself as U+DC80 + (byte - 0x80), a code point that
// valid UTF-8 never yields, and encodes back to the same byte. So decoding
// and encoding again gives back every name unchanged.
#include <optional>
#include <string>

namespace QuillTPU {

std::u32string DecodeUtf8(const std::string& text);
std::string EncodeUtf8(const std::u32string& text);
// Strict: UTF-8 text as UTF-16 code units; nullopt for bytes that are no
// UTF-8 (where the caller must not guess what was meant).
std::optional<std::u16string> Utf8ToUtf16(const std::string& text);

// Case conversion of UTF-8 text by the user's locale (by Unicode's rules
// where the locale's character set is not UTF-8). Malformed bytes stay.
std::string LocaleUpperCase(const std::string& text);
std::string LocaleLowerCase(const std::string& text);

} // namespace QuillTPU
