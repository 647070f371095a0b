// Drive queries over the drive table.
#include "util/Drives.h"

#include "platform/DriveTable.h"
#include "util/Checks.h"

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

} // namespace

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
    const char ascii = AsciiLetter(letter);
    const auto d = ascii ? Platform::FindDrive(ascii) : std::nullopt;
    return d ? VolumeFreeSpace(*d) : 0;
}

std::int64_t VolumeFreeSpace(const Platform::Drive& drive) {
    Platform::CriticalErrorGuard guard;
    if (!Platform::VolumeAccessible(drive))
        return 0;
    const auto space = Platform::VolumeSpace(drive);
    return space ? space->freeBytes : 0;
}

std::string VolumeLabelText(const Platform::Drive& drive, bool upperCase) {
    Platform::CriticalErrorGuard guard;
    const std::string label = Platform::VolumeLabel(drive);
    return '[' + (upperCase ? LocaleUpperCase(label) : LocaleLowerCase(label)) + ']';
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
    const char ascii = AsciiLetter(letter);
    const auto d = ascii ? Platform::FindDrive(ascii) : std::nullopt;
    return d ? VolumeLabelText(*d, letter < u'a') : "[]";
}

} // namespace QuillTPU
