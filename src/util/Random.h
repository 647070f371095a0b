#pragma once
// The program's one pseudo-random generator: a 32-bit linear congruential
// sequence, seed := seed * 134775813 + 1, and Random(N) = (seed * N) >> 32.
#include <cstddef>
#include <cstdint>

namespace QuillTPU {

std::uint32_t RandSeed();
void SetRandSeed(std::uint32_t seed);
// Seeds from the low 32 bits of the nanosecond clock.
void Randomize();

// Advances the seed once and returns a number in 0 .. n-1 (0 when n is 0).
std::uint32_t Random(std::uint32_t n);

// Fills buffer with successive Random(255) values: byte for byte what as
// many single calls would give, and the seed ends where theirs would.
void FillRandom255(std::uint8_t* buffer, std::size_t length);

} // namespace QuillTPU
