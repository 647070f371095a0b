#pragma once
// File masks as the file finder and the merge apply them: "*" any run of
// characters, "?" any one character, "[abc]" / "[a-z]" one character of a
// set or range, "[!...]" one character not in it. A mask covers the whole
// entry and ignores case; "*.*" covers every name, with or without a dot.
#include "platform/Errors.h"

#include <string>
#include <variant>
#include <vector>

namespace QuillTPU {

// "'%s' is an invalid mask at (%d)": the mask and the 1-based position of
// the character where it went wrong.
class EInvalidMask : public FvError {
public:
    EInvalidMask(const std::string& mask, int position);
};

class TFileMask {
public:
    // Raises EInvalidMask for a set that is never closed or holds nothing.
    explicit TFileMask(const std::string& mask);
    bool Matches(const std::string& entry) const;

private:
    struct Any {};
    struct Star {};
    struct Set {
        bool negate = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;
    };
    using Token = std::variant<char32_t, Any, Star, Set>;

    std::vector<Token> FTokens;
    bool FMatchesAll = false;

    static bool TokenMatches(const Token& token, char32_t c);
};

// Splits a list of masks: ";" separates masks, and so does every run of
// blanks and control characters; a mask in double quotes may hold blanks
// (a doubled quote inside stands for one). A ";" at the very end, or two in
// a row, give an empty mask, which covers nothing but an empty entry.
std::vector<std::string> SplitMaskList(const std::string& masks);

} // namespace QuillTPU
