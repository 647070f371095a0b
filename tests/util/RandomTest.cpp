#include "util/Random.h"
#include "util/RandomFill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace QuillTPU;

namespace {

// The definition, written out independently of the implementation.
std::uint32_t Reference(std::uint32_t& seed, std::uint32_t n) {
    seed = static_cast<std::uint32_t>(std::uint64_t{seed} * 134775813u + 1u);
    return static_cast<std::uint32_t>((std::uint64_t{seed} * n) >> 32);
}

} // namespace

TEST(Random, KnownSeedGivesKnownSequence) {
    SetRandSeed(0);
    EXPECT_EQ(Random(100), 0u); // seed 1
    EXPECT_EQ(RandSeed(), 1u);
    EXPECT_EQ(Random(1000000), 31379u); // seed 134775814
    EXPECT_EQ(RandSeed(), 134775814u);
    SetRandSeed(0xFFFFFFFFu);
    EXPECT_EQ(Random(0xFFFFFFFFu), 0xF7F77BFBu);
    EXPECT_EQ(RandSeed(), 0xF7F77BFCu); // 1 - 134775813 mod 2^32
}

TEST(Random, MatchesTheDefinitionAndStaysInRange) {
    SetRandSeed(12345);
    std::uint32_t seed = 12345;
    for (std::uint32_t n : {1u, 2u, 255u, 100000000u, 0xFFFFFFFFu})
        for (int i = 0; i < 1000; ++i) {
            const std::uint32_t r = Random(n);
            ASSERT_EQ(r, Reference(seed, n));
            ASSERT_LT(r, n);
        }
    EXPECT_EQ(Random(0), 0u);
}

TEST(Random, Random255NeverGives255) {
    SetRandSeed(987654321);
    bool seen254 = false;
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t r = Random(255);
        ASSERT_NE(r, 255u);
        seen254 |= r == 254;
    }
    EXPECT_TRUE(seen254);
}

// Both fill paths (the AVX2 lanes and the portable loop) must give exactly
// what single Random(255) calls give, and leave the same seed.
class BulkFill : public ::testing::TestWithParam<FillPath> {
protected:
    void SetUp() override {
        if (GetParam() == FillPath::Avx2 && !CpuHasAvx2())
            GTEST_SKIP() << "this CPU has no AVX2";
        SetFillPath(GetParam());
    }
    void TearDown() override { SetFillPath(FillPath::Automatic); }

    // Checks one length, filled in two calls split at `split`.
    static void Check(std::uint32_t seed, std::size_t length, std::size_t split) {
        std::uint32_t ref = seed;
        std::vector<std::uint8_t> single(length);
        for (auto& b : single)
            b = static_cast<std::uint8_t>(Reference(ref, 255));

        SetRandSeed(seed);
        std::vector<std::uint8_t> bulk(length + 1, 0xEE);
        FillRandom255(bulk.data(), split);
        FillRandom255(bulk.data() + split, length - split);
        ASSERT_EQ(std::vector<std::uint8_t>(bulk.begin(), bulk.begin() + length), single)
            << "seed " << seed << " length " << length << " split " << split;
        ASSERT_EQ(bulk[length], 0xEE) << "wrote past the end, length " << length;
        ASSERT_EQ(RandSeed(), ref) << "seed " << seed << " length " << length;
    }
};

TEST_P(BulkFill, EqualsSingleCallsForEveryLengthAndSplit) {
    for (std::size_t length = 0; length <= 200; ++length)
        for (std::size_t split : {std::size_t{0}, length / 3, length / 2 + 1, length})
            Check(0xC0FFEEu + static_cast<std::uint32_t>(length), length, std::min(split, length));
    for (std::size_t length : {255u, 256u, 1000u, 4099u, 65536u, 65600u, 1048583u})
        for (std::size_t split : {std::size_t{1}, std::size_t{63}, length / 2})
            Check(0x9E3779B9u ^ static_cast<std::uint32_t>(length), length, split);
}

TEST_P(BulkFill, SeedZeroInsideABlockGivesByteZero) {
    // Seed 0 is the one state whose byte the lane arithmetic must mend;
    // start a few dozen steps before it so it falls inside the vector part.
    std::uint32_t inverse = kRandomMultiplier; // Newton: a * inverse = 1 mod 2^32
    for (int i = 0; i < 5; ++i)
        inverse *= 2u - kRandomMultiplier * inverse;
    ASSERT_EQ(kRandomMultiplier * inverse, 1u);
    for (std::uint32_t stepsBefore : {1u, 37u, 64u, 100u, 130u}) {
        std::uint32_t seed = 0;
        for (std::uint32_t i = 0; i < stepsBefore; ++i)
            seed = (seed - 1u) * inverse;
        Check(seed, 256, 0);
        std::vector<std::uint8_t> bytes(256);
        SetRandSeed(seed);
        FillRandom255(bytes.data(), bytes.size());
        EXPECT_EQ(bytes[stepsBefore - 1], 0) << stepsBefore; // (0 * 255) >> 32
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, BulkFill, ::testing::Values(FillPath::Portable, FillPath::Avx2),
                         [](const auto& info) {
                             return info.param == FillPath::Avx2 ? "Avx2" : "Portable";
                         });

TEST(Random, RandomizeSeedsFromTheClock) {
    SetRandSeed(0);
    Randomize();
    const std::uint32_t first = RandSeed();
    Randomize();
    EXPECT_NE(first, RandSeed()); // nanoseconds apart
}
