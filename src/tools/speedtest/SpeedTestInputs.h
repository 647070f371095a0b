#pragma once
// What the speed test reads from the window, and where it writes its log.
#include "platform/DriveWork.h"
#include "util/Bounds.h"

#include <cstdint>
#include <optional>
#include <string>

namespace SpeedTest {

// The test file's size in MB (the Settings tab's "Test file size"), also
// the full test's file.
inline constexpr QuillTPU::Bounds<std::int32_t> kTestSizeMB{1, 50000, 256};

class ISpeedTestInputs {
public:
    virtual ~ISpeedTestInputs() = default;
    // The chosen drive: the run pins its volume, whatever letters say by
    // then. nullopt when no drive is chosen. Read once, when the run starts.
    virtual std::optional<Platform::ChosenDrive> Drive() = 0;
    // The test file's size in MB (the Settings tab's value). Read once.
    virtual std::int32_t TestSizeMB() = 0;
};

// The log the run appends its lines to.
class ISpeedLog {
public:
    virtual ~ISpeedLog() = default;
    virtual void AppendLine(const std::string& line) = 0;
};

} // namespace SpeedTest
