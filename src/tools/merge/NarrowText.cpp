#include "tools/merge/NarrowText.h"

#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace Merge {

namespace {

constexpr const char* kAscii = "ANSI_X3.4-1968";

// The length of the UTF-8 sequence at text[i], or 1 for a malformed byte,
// so that a character the target cannot hold is replaced once, not once
// per byte.
std::size_t SequenceLength(const char* text, std::size_t left) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t n = lead < 0x80             ? 1
                    : (lead & 0xE0) == 0xC0 ? 2
                    : (lead & 0xF0) == 0xE0 ? 3
                    : (lead & 0xF8) == 0xF0 ? 4
                                            : 0;
    if (n == 0 || n > left)
        return 1;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80)
            return 1;
    return n;
}

class Converter {
public:
    explicit Converter(const std::string& codeset) {
        FHandle = ::iconv_open(codeset.c_str(), "UTF-8");
        if (FHandle == reinterpret_cast<iconv_t>(-1))
            FHandle = ::iconv_open(kAscii, "UTF-8");
    }
    ~Converter() {
        if (Valid())
            ::iconv_close(FHandle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return FHandle; }

private:
    iconv_t FHandle;
};

} // namespace

std::string UserCodeset() {
    // A private locale object: the process locale stays as it is.
    locale_t user = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0))
        return kAscii;
    std::string codeset = ::nl_langinfo_l(CODESET, user);
    ::freelocale(user);
    return codeset.empty() ? std::string(kAscii) : codeset;
}

std::string JoinLinesCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

std::string ToNarrow(const std::string& utf8, const std::string& codeset) {
    Converter converter(codeset);
    if (!converter.Valid()) { // no converter at all: keep ASCII, replace the rest
        std::string out;
        for (std::size_t i = 0; i < utf8.size();) {
            const std::size_t n = SequenceLength(utf8.data() + i, utf8.size() - i);
            out += n == 1 && static_cast<unsigned char>(utf8[i]) < 0x80 ? utf8[i] : '?';
            i += n;
        }
        return out;
    }
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data()); // iconv's signature; it does not write
    std::size_t inLeft = utf8.size();
    std::size_t used = 0;
    auto convert = [&](char** from, std::size_t* fromLeft) {
        char* to = out.data() + used;
        std::size_t toLeft = out.size() - used;
        const std::size_t result = ::iconv(converter.Handle(), from, fromLeft, &to, &toLeft);
        const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
        used = out.size() - toLeft;
        return error;
    };
    for (;;) {
        const int error = convert(&in, &inLeft);
        if (error == 0)
            break;
        if (error == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ: not in the set, or malformed; EINVAL: cut off at the end.
        if (used == out.size())
            out.resize(out.size() * 2);
        out[used++] = '?';
        const std::size_t skip = SequenceLength(in, inLeft);
        in += skip;
        inLeft -= skip;
        if (inLeft == 0)
            break;
    }
    // A stateful set may need a closing shift sequence.
    while (convert(nullptr, nullptr) == E2BIG)
        out.resize(out.size() * 2);
    out.resize(used);
    return out;
}

} // namespace Merge
