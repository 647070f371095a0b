#include "util/FileMask.h"

#include "util/Utf8.h"

#include <cstdio>

namespace QuillTPU {

namespace {

std::u32string Folded(const std::string& text) {
    return QuillTPU::DecodeUtf8(QuillTPU::LocaleLowerCase(text));
}

std::string InvalidMaskText(const std::string& mask, int position) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", position);
    return "'" + mask + "' is an invalid mask at (" + number + ")";
}

bool IsSeparatorBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

EInvalidMask::EInvalidMask(const std::string& mask, int position)
    : FvError(InvalidMaskText(mask, position)) {}

TFileMask::TFileMask(const std::string& mask) {
    // "*.*" is the everything-mask of the Windows world; a name without a
    // dot is no exception to it.
    if (mask == "*.*") {
        FMatchesAll = true;
        return;
    }
    const std::u32string m = Folded(mask);
    for (std::size_t i = 0; i < m.size(); ++i) {
        const char32_t c = m[i];
        if (c == U'*') {
            if (FTokens.empty() || !std::holds_alternative<Star>(FTokens.back()))
                FTokens.push_back(Star{});
        } else if (c == U'?') {
            FTokens.push_back(Any{});
        } else if (c == U'[') {
            const std::size_t open = i;
            Set set;
            std::size_t k = i + 1;
            if (k < m.size() && m[k] == U'!') {
                set.negate = true;
                ++k;
            }
            while (k < m.size() && m[k] != U']') {
                const char32_t from = m[k];
                if (k + 2 < m.size() && m[k + 1] == U'-' && m[k + 2] != U']') {
                    set.ranges.emplace_back(from, m[k + 2]);
                    k += 3;
                } else {
                    set.ranges.emplace_back(from, from);
                    ++k;
                }
            }
            if (k >= m.size() || set.ranges.empty())
                throw EInvalidMask(mask, static_cast<int>(open) + 1);
            FTokens.push_back(std::move(set));
            i = k;
        } else {
            FTokens.push_back(c);
        }
    }
}

bool TFileMask::TokenMatches(const Token& token, char32_t c) {
    if (const auto* literal = std::get_if<char32_t>(&token))
        return *literal == c;
    if (std::holds_alternative<Any>(token))
        return true;
    const auto& set = std::get<Set>(token);
    bool inside = false;
    for (const auto& [from, to] : set.ranges)
        if (c >= from && c <= to) {
            inside = true;
            break;
        }
    return inside != set.negate;
}

bool TFileMask::Matches(const std::string& entry) const {
    if (FMatchesAll)
        return true;
    const std::u32string s = Folded(entry);
    // Greedy walk that returns to the last star on a mismatch: linear in
    // practice, never exponential.
    std::size_t t = 0, i = 0;
    std::size_t starToken = std::u32string::npos, starText = 0;
    while (i < s.size()) {
        if (t < FTokens.size() && std::holds_alternative<Star>(FTokens[t])) {
            starToken = t++;
            starText = i;
        } else if (t < FTokens.size() && TokenMatches(FTokens[t], s[i])) {
            ++t;
            ++i;
        } else if (starToken != std::u32string::npos) {
            t = starToken + 1;
            i = ++starText;
        } else {
            return false;
        }
    }
    while (t < FTokens.size() && std::holds_alternative<Star>(FTokens[t]))
        ++t;
    return t == FTokens.size();
}

std::vector<std::string> SplitMaskList(const std::string& masks) {
    std::vector<std::string> result;
    std::size_t i = 0;
    const std::size_t n = masks.size();
    while (i < n && IsSeparatorBlank(masks[i]))
        ++i;
    if (i == n)
        return result;
    for (;;) {
        std::string mask;
        if (i < n && masks[i] == '"') {
            ++i;
            while (i < n) {
                if (masks[i] == '"') {
                    if (i + 1 < n && masks[i + 1] == '"') {
                        mask += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                mask += masks[i++];
            }
        } else {
            while (i < n && masks[i] != ';' && !IsSeparatorBlank(masks[i]))
                mask += masks[i++];
        }
        result.push_back(mask);
        while (i < n && IsSeparatorBlank(masks[i]))
            ++i;
        if (i < n && masks[i] == ';') {
            ++i;
            if (i == n) {
                result.emplace_back(); // a closing ";" adds an empty mask
                break;
            }
            while (i < n && IsSeparatorBlank(masks[i]))
                ++i;
        }
        if (i >= n)
            break;
    }
    return result;
}

} // namespace QuillTPU
