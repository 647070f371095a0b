#pragma once
// What the speed test reads from the window, and where it writes its log.
#include <cstdint>
#include <string>

namespace SpeedTest {

class ISpeedTestInputs {
public:
    virtual ~ISpeedTestInputs() = default;
    // The chosen drive's letter as the drive chooser gives it (lower case);
    // 0 when no drive is chosen. Read once, when the run starts.
    virtual char DriveLetter() = 0;
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
