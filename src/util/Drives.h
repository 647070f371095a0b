#pragma once
// Drive queries for the drive tools and the disk space panel. A drive is a
// letter of the drive table (platform/DriveTable.h): the letter a mounted
// volume got and keeps while it stays mounted. A run asks about its pinned
// volume itself (the Volume... routines), never about a letter again. None
// of these routines shows a message; failures come back as -1, false, 0 or
// an empty label.
//
// DeleteFolderTree, the last of the drive helpers, is built on the file
// finder and therefore lives beside it, in components/QuillFindFile.h.
#include "platform/Errors.h"
#include "util/Utf8.h" // LocaleUpperCase, LocaleLowerCase

#include <cstdint>
#include <string>

namespace Platform {
struct Drive;
}

namespace QuillTPU {

// What a user may do where a volume takes writes but none of its working
// places lets him create a folder (its root is closed to him).
inline constexpr const char* kNoWorkingPlaceAdvice =
    "Start the program from a folder of yours on that drive (on the command line: name such a "
    "folder), or run it as an administrator.";

// A character that is no drive letter where one is required.
class RangeError : public FvError {
public:
    RangeError() : FvError("Range check error") {}
};

// 1 for "A" or "a", 3 for "C" ... 26 for "Z"; 0 stands for the current
// drive. Raises RangeError when the result does not fit 0 .. 255.
std::uint8_t DriveNumber(char16_t letter);

// Bytes available to the calling user, or -1 when the query fails.
std::int64_t DriveFreeBytes(std::uint8_t drive);
// Total bytes of the volume, or -1 when the query fails.
std::int64_t DriveTotalBytes(std::uint8_t drive);
// True when the drive answers a size query.
bool DriveReadyByNumber(std::uint8_t drive);
bool DriveReady(char16_t letter);
// True when the drive's root folder can be read (an empty root counts).
bool DriveAccessible(char16_t letter);
// Bytes available to the calling user; 0 when the drive is not accessible
// or not ready.
std::int64_t DriveFreeSpace(char16_t letter);
// True when a file cannot be created and removed at the drive's root. The
// probe file is "RWR" + four hex digits + ".TMP", created exclusively and
// removed at once. Raises AssertionError("Invalid drive specification")
// for a character outside A .. Z.
bool DriveWriteProtected(char16_t letter);
// The volume label in square brackets: upper case for an upper-case letter,
// lower case otherwise, by the user's locale ("[DATA]", "[data]", "[]").
std::string DriveLabel(char16_t letter);

// DriveFreeSpace and DriveLabel for a drive entry itself.
std::int64_t VolumeFreeSpace(const Platform::Drive& drive);
std::string VolumeLabelText(const Platform::Drive& drive, bool upperCase);

} // namespace QuillTPU
