#include "Random.h"

#include "RandomFill.h"
#include "platform/Clock.h"

namespace QuillTPU {

namespace {

std::uint32_t gSeed = 0;
FillPath gFillPath = FillPath::Automatic;

inline std::uint8_t Byte255(std::uint32_t seed) {
    return static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255u) >> 32);
}

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
    gSeed = gSeed * kRandomMultiplier + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(gSeed) * n) >> 32);
}

bool CpuHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

void SetFillPath(FillPath path) {
    gFillPath = path;
}

std::uint32_t FillRandom255Portable(std::uint32_t seed, std::uint8_t* buffer, std::size_t length) {
    // Four chains, each four steps apart, so the multiplies overlap instead
    // of waiting on each other.
    constexpr LcgJump jump4 = JumpAhead(4);
    std::size_t i = 0;
    if (length >= 8) {
        std::uint32_t s0 = seed * kRandomMultiplier + 1u;
        std::uint32_t s1 = s0 * kRandomMultiplier + 1u;
        std::uint32_t s2 = s1 * kRandomMultiplier + 1u;
        std::uint32_t s3 = s2 * kRandomMultiplier + 1u;
        for (; i + 4 <= length; i += 4) {
            buffer[i] = Byte255(s0);
            buffer[i + 1] = Byte255(s1);
            buffer[i + 2] = Byte255(s2);
            buffer[i + 3] = Byte255(s3);
            seed = s3;
            s0 = jump4.Apply(s0);
            s1 = jump4.Apply(s1);
            s2 = jump4.Apply(s2);
            s3 = jump4.Apply(s3);
        }
    }
    for (; i < length; ++i) {
        seed = seed * kRandomMultiplier + 1u;
        buffer[i] = Byte255(seed);
    }
    return seed;
}

void FillRandom255(std::uint8_t* buffer, std::size_t length) {
    const bool avx2 = gFillPath != FillPath::Portable && CpuHasAvx2();
    gSeed = avx2 ? FillRandom255Avx2(gSeed, buffer, length)
                 : FillRandom255Portable(gSeed, buffer, length);
}

} // namespace QuillTPU
