// Drive queries over the drive table.
#include "util/Drives.h"

#include "platform/DriveTable.h"
#include "util/Checks.h"

#include <clocale>
#include <cwctype>
#include <langinfo.h>
#include <locale.h>
#include <optional>

namespace QuillTPU {

namespace {

std::optional<Platform::Drive> DriveByNumber(std::uint8_t drive) {
    if (drive == 0)
        return Platform::CurrentDrive();
    if (drive > 26)
        return std::nullopt;
    return Platform::FindDrive(static_cast<char>('A' + drive - 1));
}

std::optional<Platform::DriveSpace> SpaceOf(std::uint8_t drive) {
    const auto d = DriveByNumber(drive);
    if (!d)
        return std::nullopt;
    return Platform::VolumeSpace(*d);
}

// The letter as an ASCII drive letter, or 0.
char AsciiLetter(char16_t letter) {
    if (letter >= u'a' && letter <= u'z')
        return static_cast<char>(letter - u'a' + 'A');
    if (letter >= u'A' && letter <= u'Z')
        return static_cast<char>(letter);
    return 0;
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

// Decodes one UTF-8 sequence at text[i]; a malformed byte stands for itself
// (returned as 0xFFFFFFFF with length 1, copied unchanged by the caller).
char32_t DecodeAt(const std::string& text, std::size_t i, std::size_t* length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    std::size_t n = 0;
    char32_t c = 0;
    if (b < 0x80) {
        *length = 1;
        return b;
    } else if ((b & 0xE0) == 0xC0) {
        n = 2;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4;
        c = b & 0x07;
    } else {
        *length = 1;
        return 0xFFFFFFFF;
    }
    if (i + n > text.size()) {
        *length = 1;
        return 0xFFFFFFFF;
    }
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            *length = 1;
            return 0xFFFFFFFF;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    *length = n;
    return c;
}

void Encode(char32_t c, std::string& out) {
    if (c < 0x80) {
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

template <typename Convert> std::string MapCase(const std::string& text, Convert convert) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const char32_t c = DecodeAt(text, i, &length);
        if (c == 0xFFFFFFFF)
            out += text[i];
        else
            Encode(static_cast<char32_t>(convert(static_cast<wint_t>(c), CaseLocale())), out);
        i += length;
    }
    return out;
}

} // namespace

std::string LocaleUpperCase(const std::string& text) {
    return MapCase(text, ::towupper_l);
}

std::string LocaleLowerCase(const std::string& text) {
    return MapCase(text, ::towlower_l);
}

std::uint8_t DriveNumber(char16_t letter) {
    char32_t code = letter;
    if (letter >= u'a' && letter <= u'z')
        code = letter - u'a' + u'A';
    if (code < 64 || code - 64 > 255)
        throw RangeError();
    return static_cast<std::uint8_t>(code - 64);
}

std::int64_t DriveFreeBytes(std::uint8_t drive) {
    const auto space = SpaceOf(drive);
    return space ? space->freeBytes : -1;
}

std::int64_t DriveTotalBytes(std::uint8_t drive) {
    const auto space = SpaceOf(drive);
    return space ? space->totalBytes : -1;
}

bool DriveReadyByNumber(std::uint8_t drive) {
    Platform::CriticalErrorGuard guard;
    return DriveTotalBytes(drive) != -1;
}

bool DriveReady(char16_t letter) {
    return DriveReadyByNumber(DriveNumber(letter));
}

bool DriveAccessible(char16_t letter) {
    Platform::CriticalErrorGuard guard;
    const char ascii = AsciiLetter(letter);
    if (!ascii)
        return false;
    const auto d = Platform::FindDrive(ascii);
    return d && Platform::VolumeAccessible(*d);
}

std::int64_t DriveFreeSpace(char16_t letter) {
    if (DriveAccessible(letter) && DriveReady(letter))
        return DriveFreeBytes(DriveNumber(letter));
    return 0;
}

bool DriveWriteProtected(char16_t letter) {
    Platform::CriticalErrorGuard guard;
    const char ascii = AsciiLetter(letter);
    FV_ASSERT(ascii != 0, "Invalid drive specification");
    const auto d = Platform::FindDrive(ascii);
    // No such drive: nothing can be created there.
    return !d || Platform::ProbeWriteProtected(d->root);
}

std::string DriveLabel(char16_t letter) {
    Platform::CriticalErrorGuard guard;
    const char ascii = AsciiLetter(letter);
    std::string label;
    if (ascii)
        if (const auto d = Platform::FindDrive(ascii))
            label = Platform::VolumeLabel(*d);
    label = letter < u'a' ? LocaleUpperCase(label) : LocaleLowerCase(label);
    return "[" + label + "]";
}

} // namespace QuillTPU
