#pragma once
// Small volumes of a known size for the drive tests: a tmpfs or a loop-
// mounted ext4 image in a temporary folder. Mounting needs root; the guard
// unmounts and removes everything when the test ends, also when it failed.
#include "TempDir.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TestVolume {
public:
    // A tmpfs of `bytes` bytes, with further mount options if given
    // ("nr_inodes=4"); nullptr (with the reason) when it cannot be mounted.
    static std::unique_ptr<TestVolume> Tmpfs(std::uint64_t bytes, bool readOnly, std::string* why,
                                             const std::string& moreOptions = "") {
        auto volume = std::unique_ptr<TestVolume>(new TestVolume);
        const std::string options =
            "size=" + std::to_string(bytes) + (moreOptions.empty() ? "" : "," + moreOptions);
        if (::mount("tmpfs", volume->MountPoint().c_str(), "tmpfs", readOnly ? MS_RDONLY : 0,
                    options.c_str()) != 0) {
            *why = "cannot mount a tmpfs (needs root)";
            return nullptr;
        }
        volume->FMounted = true;
        return volume;
    }

    // An ext4 image of `megabytes` with a label, mounted through a loop device.
    static std::unique_ptr<TestVolume> Ext4(const std::string& label, bool readOnly,
                                            std::string* why, int megabytes = 8) {
        auto volume = std::unique_ptr<TestVolume>(new TestVolume);
        const std::string image = volume->FDir / "image.ext4";
        const std::string make = "truncate -s " + std::to_string(megabytes) + "M '" + image +
                                 "' && mkfs.ext4 -q -L '" + label + "' '" + image +
                                 "' >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0) {
            *why = "cannot make an ext4 image (mkfs.ext4 missing?)";
            return nullptr;
        }
        const std::string mount = std::string("mount -o loop") + (readOnly ? ",ro" : "") + " '" +
                                  image + "' '" + volume->MountPoint() + "' >/dev/null 2>&1";
        if (std::system(mount.c_str()) != 0) {
            *why = "cannot mount a loop volume (needs root and loop devices)";
            return nullptr;
        }
        volume->FMounted = true;
        return volume;
    }

    ~TestVolume() {
        // A loop device set up by mount -o loop goes with the unmount.
        if (FMounted && ::umount2(MountPoint().c_str(), 0) != 0)
            ::umount2(MountPoint().c_str(), MNT_DETACH);
    }

    const std::string& MountPoint() const { return FMountPoint; }

private:
    TestVolume() : FMountPoint(FDir / "volume") { ::mkdir(FMountPoint.c_str(), 0755); }

    TempDir FDir; // removed after the unmount, with the image
    std::string FMountPoint;
    bool FMounted = false;
};
