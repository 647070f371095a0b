// Typed separator and fill texts: the command line's escapes, the CRLF
// token, and the separator's line breaks and narrow character set.
#include "cli/Arguments.h"
#include "tools/merge/NarrowText.h"
#include "util/Format.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string unescaped = Cli::UnescapeText(text);
    // An escape only ever shortens the text.
    if (unescaped.size() > text.size())
        __builtin_trap();
    // Escaping every backslash and line break and unescaping gives the text back.
    std::string escaped;
    for (const char c : text)
        escaped += c == '\\'   ? std::string("\\\\")
                   : c == '\n' ? std::string("\\n")
                               : std::string(1, c);
    if (Cli::UnescapeText(escaped) != text)
        __builtin_trap();

    (void)QuillTPU::ReplaceCRLF(text);
    const std::string joined = Merge::JoinLinesCrLf(text);
    for (std::size_t i = 0; i < joined.size(); ++i)
        if (joined[i] == '\n' && (i == 0 || joined[i - 1] != '\r'))
            __builtin_trap();
    for (const char* codeset : {"UTF-8", "ISO-8859-1", "ANSI_X3.4-1968", "no such set"})
        (void)Merge::ToNarrow(joined, codeset);
    return 0;
}
