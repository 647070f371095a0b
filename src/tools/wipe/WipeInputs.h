#pragma once
// What the wipe run reads from the window. The run calls each getter at the
// moment it needs the value, so a change the user makes while the run pumps
// messages takes effect where the user would expect it.
#include <cstdint>

namespace Wipe {

class IWipeInputs {
public:
    virtual ~IWipeInputs() = default;
    // The drive chooser's letter, as it gives it (lower case); 0 when
    // nothing is chosen. Read once, at the start.
    virtual char16_t DriveLetter() = 0;
    // The number of passes; read once, before the first pass.
    virtual std::int32_t Passes() = 0;
    // The buffer size in MB (the Settings tab). Read afresh for the pattern,
    // for every file, for the megabytes counted and for the speed figure.
    virtual std::int32_t BufferSizeMB() = 0;
};

} // namespace Wipe
