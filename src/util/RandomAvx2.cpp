// The AVX2 path of FillRandom255. Only this file's function is compiled for
// AVX2, so the program still starts on CPUs without it.
#include "RandomFill.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace QuillTPU {

#if defined(__x86_64__) || defined(__i386__)

namespace {

#define FV_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Each lane keeps x = seed * a, the seed after the step less its "+ 1".
// Then Random(255) = floor(255 * (x + 1) / 2^32) = (x - (x >> 8)) >> 24, in
// 32-bit arithmetic, except for x = 0xFFFFFFFF (seed 0), where it gives 255
// instead of 0; 255 occurs nowhere else, so it is mended byte-wise.
FV_AVX2 __m256i Byte255(__m256i x) {
    return _mm256_srli_epi32(_mm256_sub_epi32(x, _mm256_srli_epi32(x, 8)), 24);
}

// 32 bytes from four vectors of lanes; the packs interleave per 128-bit half,
// which the lane layout below undoes.
FV_AVX2 __m256i Bytes32(__m256i a, __m256i b, __m256i c, __m256i d, __m256i all) {
    const __m256i lo = _mm256_packus_epi32(Byte255(a), Byte255(b));
    const __m256i hi = _mm256_packus_epi32(Byte255(c), Byte255(d));
    const __m256i bytes = _mm256_packus_epi16(lo, hi);
    return _mm256_sub_epi8(bytes, _mm256_cmpeq_epi8(bytes, all)); // 255 -> 0
}

FV_AVX2 __m256i Step(__m256i x, __m256i mul, __m256i add) {
    return _mm256_add_epi32(_mm256_mullo_epi32(x, mul), add);
}

#undef FV_AVX2

} // namespace

__attribute__((target("avx2"))) std::uint32_t
FillRandom255Avx2(std::uint32_t seed, std::uint8_t* buffer, std::size_t length) {
    constexpr std::size_t kStep = 64; // bytes per loop: two groups of four vectors
    const std::size_t bulk = length - length % kStep;
    if (bulk != 0) {
        // Byte p of a 32-byte group comes from vector (p % 16) / 4, lane
        // p % 4 + 4 * (p / 16).
        alignas(32) std::uint32_t start[8][8];
        std::uint32_t s = seed;
        for (std::size_t i = 0; i < kStep; ++i) {
            const std::uint32_t x = s * kRandomMultiplier;
            s = x + 1u;
            const std::size_t group = i / 32, p = i % 32;
            start[4 * group + (p % 16) / 4][p % 4 + 4 * (p / 16)] = x;
        }
        const auto* lanes = reinterpret_cast<const __m256i*>(start);
        __m256i v0 = _mm256_load_si256(lanes), v1 = _mm256_load_si256(lanes + 1);
        __m256i v2 = _mm256_load_si256(lanes + 2), v3 = _mm256_load_si256(lanes + 3);
        __m256i v4 = _mm256_load_si256(lanes + 4), v5 = _mm256_load_si256(lanes + 5);
        __m256i v6 = _mm256_load_si256(lanes + 6), v7 = _mm256_load_si256(lanes + 7);

        constexpr LcgJump jump = JumpAhead(kStep);
        // x' = a^64 * (x + 1) + c - 1
        const __m256i mul = _mm256_set1_epi32(static_cast<int>(jump.mul));
        const __m256i add = _mm256_set1_epi32(static_cast<int>(jump.mul + jump.add - 1u));
        const __m256i all = _mm256_set1_epi8(-1);

        for (std::size_t offset = 0; offset < bulk; offset += kStep) {
            auto* out = reinterpret_cast<__m256i*>(buffer + offset);
            _mm256_storeu_si256(out, Bytes32(v0, v1, v2, v3, all));
            _mm256_storeu_si256(out + 1, Bytes32(v4, v5, v6, v7, all));
            v0 = Step(v0, mul, add);
            v1 = Step(v1, mul, add);
            v2 = Step(v2, mul, add);
            v3 = Step(v3, mul, add);
            v4 = Step(v4, mul, add);
            v5 = Step(v5, mul, add);
            v6 = Step(v6, mul, add);
            v7 = Step(v7, mul, add);
        }
        seed = JumpAhead(bulk).Apply(seed);
    }
    return FillRandom255Portable(seed, buffer + bulk, length - bulk);
}

#else

std::uint32_t FillRandom255Avx2(std::uint32_t seed, std::uint8_t* buffer, std::size_t length) {
    return FillRandom255Portable(seed, buffer, length);
}

#endif

} // namespace QuillTPU
