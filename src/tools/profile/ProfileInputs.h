#pragma once
// What the full test reads from its front end.
#include "platform/DriveWork.h"
#include "util/Bounds.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Profile {

// Each figure's measured time and the warm-up before it, in seconds.
inline constexpr QuillTPU::Bounds<double> kMeasureSeconds{0.01, 3600.0, 5.0};
inline constexpr QuillTPU::Bounds<double> kWarmupSeconds{0.0, 3600.0, 1.0};

class IProfileInputs {
public:
    virtual ~IProfileInputs() = default;
    // The chosen drive: the run pins its volume for its whole length, so a
    // volume mounted or gone meanwhile never redirects the run or its
    // cleanup. nullopt when no drive is chosen. Read once, when the run
    // starts.
    virtual std::optional<Platform::ChosenDrive> Drive() = 0;
    // The drive's name for the messages ("Drive C:", "/mnt/usb").
    virtual std::string DriveName() = 0;
    // The test file's size in MB (the speed test's setting). Read once.
    virtual std::int32_t TestSizeMB() = 0;
};

// The inputs both front ends hand the run: the drive the user chose (the
// window's chooser, the command line's PATH) and the test file's size.
class ChosenDriveInputs final : public IProfileInputs {
public:
    ChosenDriveInputs(std::optional<Platform::ChosenDrive> chosen, std::int32_t sizeMB)
        : FChosen(std::move(chosen)), FSizeMB(sizeMB) {}
    std::optional<Platform::ChosenDrive> Drive() override { return FChosen; }
    std::string DriveName() override {
        const std::string name = FChosen ? Platform::DriveName(FChosen->drive) : std::string();
        return name.size() == 2 && name[1] == ':' ? "Drive " + name : name;
    }
    std::int32_t TestSizeMB() override { return FSizeMB; }

private:
    std::optional<Platform::ChosenDrive> FChosen;
    std::int32_t FSizeMB;
};

} // namespace Profile
