#pragma once
// What the full test reads from its front end.
#include <cstdint>
#include <optional>
#include <string>

namespace Profile {

class IProfileInputs {
public:
    virtual ~IProfileInputs() = default;
    // The folder on the chosen (pinned) volume where the run may make its
    // work folder, ending in "/"; nullopt when the drive is not ready.
    // Read once, when the run starts.
    virtual std::optional<std::string> WorkPlace() = 0;
    // The drive's name for the messages ("Drive C:", "/mnt/usb").
    virtual std::string DriveName() = 0;
    // The test file's size in MB (the speed test's setting). Read once.
    virtual std::int32_t TestSizeMB() = 0;
};

} // namespace Profile
