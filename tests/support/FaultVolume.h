#pragma once
// A volume that fails on command, for the tests of what a tool does when the
// disk itself goes wrong: a FUSE pass-through over a folder of its own,
// served by threads of the test program, mounted in the program's private
// mount namespace. Every call goes through to the folder unless a fault
// says otherwise; reads and writes bypass the page cache, so each call the
// tool makes reaches the faults.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct FaultPlan {
    int eioOnWrite = 0;           // the Nth write call (from 1) fails with EIO; 0: none
    int eioOnRead = 0;            // the Nth read call fails with EIO; 0: none
    int eioOnSync = 0;            // from the Nth fsync or fdatasync on, each fails with EIO
    bool eioOnClose = false;      // every close (the flush of the file) fails with EIO
    std::int64_t spaceBytes = -1; // writes beyond this many bytes in all: ENOSPC; -1: none
    bool shortWrites = false;     // every write takes half of what it was given (at least 1 byte)
    int delayMs = 0;              // every call waits this long first
    int vanishOnWrite = 0;        // at the Nth write the volume is unmounted and answers EIO
    // Read when mounting: > 0 puts the folder behind on a tmpfs of this size,
    // so that a tool which writes until the volume is full (the wipe) stops
    // there and not at the end of the test machine's disk.
    std::int64_t capacity = 0;
};

class FaultVolume {
public:
    // Why no fault volume can be mounted here (no /dev/fuse, not root,
    // built without libfuse3); nullopt when it can.
    static std::optional<std::string> Unavailable();

    // Mounts the volume; raises std::runtime_error with the reason when it
    // cannot. The faults apply from the first call on.
    explicit FaultVolume(const FaultPlan& plan = {});
    ~FaultVolume(); // unmounts and removes the folder, whatever happened
    FaultVolume(const FaultVolume&) = delete;
    FaultVolume& operator=(const FaultVolume&) = delete;

    // Where the tools write: the mount point, without a trailing "/".
    const std::string& Path() const;
    // The folder behind it, to check what reached the disk.
    const std::string& Backing() const;

    void SetPlan(const FaultPlan& plan);
    // Unmounts at once (lazily): the path shows the empty folder underneath
    // (another volume: nothing may be written there), and files still open
    // answer EIO.
    void Vanish();
    bool Vanished() const;

    int Writes() const; // write calls so far
    std::int64_t BytesWritten() const;

    struct State;

private:
    std::unique_ptr<State> FState;
};

// A skip for a reason outside the test; on a CI machine (CI=true), where
// everything the suites need is installed, the same reason fails the test.
#define FV_SKIP_UNLESS_CI(reason)                                                                  \
    do {                                                                                           \
        const char* ci = std::getenv("CI");                                                        \
        if (ci && std::string(ci) == "true")                                                       \
            FAIL() << "cannot run on CI: " << (reason);                                            \
        GTEST_SKIP() << (reason);                                                                  \
    } while (false)
