#pragma once
// Numbers and texts as the program writes them: sizes, reals and counts,
// CRLF tokens and character ranges.
#include <cstdint>
#include <string>

namespace QuillTPU {

// ---- Numbers as text -------------------------------------------------------

// "0 Byte", "1,023 Bytes", "1.5 KB" ... "1,024.0 TB", with the user's separators.
std::string FormatSize(std::int64_t size);
// At most `decimals` decimals, cut (not rounded), "." always; never scientific
// below 0.0001. Raises AssertionError("Float number is NAN!") on NaN.
std::string FormatReal(long double value, std::uint8_t decimals);
std::string FormatInteger(std::int32_t value);
std::string FormatInteger(std::int64_t value);

// ---- Texts ---------------------------------------------------------------

// Turns the token CRLF into a line break, dropping one blank after it.
std::string ReplaceCRLF(const std::string& text);
// Characters fromPos..toPos (1-based, inclusive), clipped to the text.
// Raises OverflowError when the range length does not fit 32 bits.
std::u16string CopyRange(const std::u16string& text, std::int32_t fromPos, std::int32_t toPos);
std::string CopyRange(const std::string& text, std::int32_t fromPos, std::int32_t toPos);

} // namespace QuillTPU
