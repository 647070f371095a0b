#pragma once
// What the wipe run reads from the window. The run calls each getter at the
// moment it needs the value, so a change the user makes while the run pumps
// messages takes effect where the user would expect it.
#include "platform/DriveWork.h"
#include "util/Bounds.h"

#include <cstdint>
#include <optional>

namespace Wipe {

inline constexpr QuillTPU::Bounds<std::int32_t> kPasses{1, 16, 2};
// The size of each fill file and of the pattern in memory.
inline constexpr QuillTPU::Bounds<std::int32_t> kBufferSizeMB{1, 50000, 64};

class IWipeInputs {
public:
    virtual ~IWipeInputs() = default;
    // The chosen drive: the run pins its volume, whatever letters say by
    // then. nullopt when nothing is chosen. Read once, at the start.
    virtual std::optional<Platform::ChosenDrive> Drive() = 0;
    // The number of passes; read once, before the first pass.
    virtual std::int32_t Passes() = 0;
    // The buffer size in MB (the Settings tab). Read afresh for the pattern,
    // for every file, for the megabytes counted and for the speed figure.
    virtual std::int32_t BufferSizeMB() = 0;
};

} // namespace Wipe
