#pragma once
#include <cstdint>

namespace Platform {

// Plays a sine tone on the default sound device and returns when it has
// ended. Silent, and never failing, when there is no device.
void PlayTone(std::uint32_t frequencyHz, std::uint32_t durationMs);

} // namespace Platform
