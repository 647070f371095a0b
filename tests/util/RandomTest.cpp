#include "util/Random.h"

#include <gtest/gtest.h>

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

TEST(Random, BulkFillEqualsSingleCallsForEveryLengthAndSplit) {
    for (std::size_t length : {0u, 1u, 2u, 7u, 31u, 32u, 33u, 63u, 64u, 255u, 1000u, 4099u}) {
        for (std::size_t split : {std::size_t{0}, length / 3, length}) {
            SetRandSeed(0xC0FFEEu + static_cast<std::uint32_t>(length));
            std::vector<std::uint8_t> single(length);
            for (auto& b : single)
                b = static_cast<std::uint8_t>(Random(255));
            const std::uint32_t seedAfterSingles = RandSeed();

            SetRandSeed(0xC0FFEEu + static_cast<std::uint32_t>(length));
            std::vector<std::uint8_t> bulk(length + 1, 0xEE);
            FillRandom255(bulk.data(), split);
            FillRandom255(bulk.data() + split, length - split);
            ASSERT_EQ(std::vector<std::uint8_t>(bulk.begin(), bulk.begin() + length), single)
                << "length " << length << " split " << split;
            EXPECT_EQ(bulk[length], 0xEE) << "wrote past the end";
            EXPECT_EQ(RandSeed(), seedAfterSingles);
        }
    }
}

TEST(Random, RandomizeSeedsFromTheClock) {
    SetRandSeed(0);
    Randomize();
    const std::uint32_t first = RandSeed();
    Randomize();
    EXPECT_NE(first, RandSeed()); // nanoseconds apart
}
