#pragma once
// The separator as the merged file holds it: 8-bit text in the user's
// narrow character set, lines joined by CR LF.
#include <string>

namespace Merge {

// The character set of the user's locale ("UTF-8", "ISO-8859-1",
// "ANSI_X3.4-1968" for the plain C locale ...).
std::string UserCodeset();

// A memo's lines joined by CR LF: a line feed without its carriage return
// gets one. Nothing is added at the end.
std::string JoinLinesCrLf(const std::string& text);

// UTF-8 text in codeset. A character the set cannot hold, or a malformed
// byte, becomes one "?". An unknown codeset is taken as plain ASCII.
std::string ToNarrow(const std::string& utf8, const std::string& codeset);

} // namespace Merge
