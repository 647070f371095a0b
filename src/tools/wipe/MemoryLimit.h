#pragma once
// How much memory a large buffer can still be backed by. Linux grants
// allocations it cannot back and calls the out-of-memory killer once they
// are touched, so a tool that fills a buffer of the user's size asks first.
#include <cstdint>
#include <optional>
#include <string>

namespace Wipe {

// MemAvailable of /proc/meminfo, and no more than the room left under the
// memory limit of the process's control group (and its parents) where one
// is set. nullopt when neither can be read. The roots are for tests.
std::optional<std::int64_t> AvailableMemory(const std::string& procRoot = "/proc",
                                            const std::string& cgroupRoot = "/sys/fs/cgroup");

} // namespace Wipe
