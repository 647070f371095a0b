#pragma once
// The bulk fill behind FillRandom255 has two paths: eight AVX2 lanes of the
// generator stepped together, and a portable loop for CPUs without AVX2.
// The CPU picks the path; tests and benchmarks can pin one.
#include <cstddef>
#include <cstdint>

namespace QuillTPU {

inline constexpr std::uint32_t kRandomMultiplier = 134775813u;

// k steps of seed := seed * a + 1 are again one multiply and one add.
struct LcgJump {
    std::uint32_t mul = 1;
    std::uint32_t add = 0;
    constexpr std::uint32_t Apply(std::uint32_t seed) const { return seed * mul + add; }
};

constexpr LcgJump JumpAhead(std::uint64_t steps) {
    LcgJump result;                       // identity
    LcgJump power{kRandomMultiplier, 1u}; // one step
    while (steps != 0) {
        if (steps & 1u)
            result = {result.mul * power.mul, result.add * power.mul + power.add};
        power = {power.mul * power.mul, power.add * power.mul + power.add};
        steps >>= 1;
    }
    return result;
}

enum class FillPath { Automatic, Portable, Avx2 };

bool CpuHasAvx2();
// Pins the path of FillRandom255; Avx2 on a CPU without it acts as Portable.
void SetFillPath(FillPath path);

// Both paths write Random(255) values and return the seed after them.
std::uint32_t FillRandom255Portable(std::uint32_t seed, std::uint8_t* buffer, std::size_t length);
// Only to be called where CpuHasAvx2() is true.
std::uint32_t FillRandom255Avx2(std::uint32_t seed, std::uint8_t* buffer, std::size_t length);

} // namespace QuillTPU
