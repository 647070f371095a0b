#pragma once
#include <cstdint>

namespace Platform {

// Milliseconds of a monotonic clock, wrapping like a 32-bit tick counter:
// take differences as unsigned 32-bit numbers.
std::uint32_t TickCount();
// Nanoseconds of a monotonic clock.
std::uint64_t NanoClock();
void SleepMs(std::uint32_t ms);

} // namespace Platform
