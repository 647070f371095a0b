#pragma once
// The speed test's write-behind: the data go on to the drive while the
// write phase runs.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>

namespace SpeedTest {

// Sends the written data on to the drive as the write goes and keeps only a
// few megabytes on their way: the flush at the end then waits for these
// alone, and a Cancel in between is seen within a second, however large
// the test and the memory. The drive's work stays inside the timing.
class Writeback {
public:
    explicit Writeback(int fd) : FFd(fd) {}
    // The bytes at offset were just written. An errno when the drive failed.
    int Written(std::int64_t offset, std::int64_t count) {
        FWritten = offset + count;
        if (!Sync(offset, count, SYNC_FILE_RANGE_WRITE))
            return FError;
        while (FWritten - FOnDrive > kInFlightBytes)
            if (const int error = WaitSome(count))
                return error;
        return 0;
    }
    // Waits until up to `count` more bytes are on the drive.
    int WaitSome(std::int64_t count) {
        const std::int64_t part = std::min(count, FWritten - FOnDrive);
        if (!Sync(FOnDrive, part,
                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER))
            return FError;
        FOnDrive += part;
        return 0;
    }
    bool Done() const { return FOnDrive >= FWritten; }

private:
    static constexpr std::int64_t kInFlightBytes = 16 * 1048576;

    bool Sync(std::int64_t offset, std::int64_t count, unsigned flags) {
        if (!FAvailable)
            return true;
        int done;
        do
            done = ::sync_file_range(FFd, offset, count, flags);
        while (done != 0 && errno == EINTR);
        if (done == 0)
            return true;
        if (errno == EINVAL || errno == ESPIPE || errno == ENOSYS || errno == EOPNOTSUPP) {
            // Not for this file system: the flush at the end does it all.
            FAvailable = false;
            FOnDrive = FWritten;
            return true;
        }
        FError = errno;
        return false;
    }

    int FFd;
    bool FAvailable = true;
    int FError = 0;
    std::int64_t FWritten = 0;
    std::int64_t FOnDrive = 0;
};

} // namespace SpeedTest
