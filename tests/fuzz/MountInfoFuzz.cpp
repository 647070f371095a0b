// The mount table as the kernel writes it, and the drives picked from it.
#include "platform/DriveTable.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto mounts = Platform::ParseMountInfo(text);
    const auto drives = Platform::BuildDriveTable(mounts, [](const std::string&) { return false; });
    char last = 'B';
    for (const auto& drive : drives) {
        // Letters run from C: on without gaps, never past Z:.
        if (drive.letter != last + 1 || drive.letter > 'Z')
            __builtin_trap();
        last = drive.letter;
    }
    return 0;
}
