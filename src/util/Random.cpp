#include "Random.h"

#include "platform/Clock.h"

namespace QuillTPU {

namespace {
std::uint32_t gSeed = 0;
constexpr std::uint32_t kMultiplier = 134775813u;
} // namespace

std::uint32_t RandSeed() {
    return gSeed;
}

void SetRandSeed(std::uint32_t seed) {
    gSeed = seed;
}

void Randomize() {
    gSeed = static_cast<std::uint32_t>(Platform::NanoClock());
}

std::uint32_t Random(std::uint32_t n) {
    gSeed = gSeed * kMultiplier + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(gSeed) * n) >> 32);
}

void FillRandom255(std::uint8_t* buffer, std::size_t length) {
    std::uint32_t seed = gSeed;
    for (std::size_t i = 0; i < length; ++i) {
        seed = seed * kMultiplier + 1u;
        buffer[i] = static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255u) >> 32);
    }
    gSeed = seed;
}

} // namespace QuillTPU
