#include "util/Checks.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

TEST(Checks, AssertionRaisesItsMessageInEveryBuild) {
    EXPECT_NO_THROW(FV_ASSERT(1 + 1 == 2, "arithmetic"));
    EXPECT_EQ(ThrownMessage<AssertionError>([] { FV_ASSERT(false, "Float number is NAN!"); }),
              "Float number is NAN!");
}

TEST(Checks, IntegerHelpersRaiseInsteadOfWrapping) {
    constexpr auto max32 = std::numeric_limits<std::int32_t>::max();
    constexpr auto min64 = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(CheckedAdd(max32 - 1, 1), max32);
    EXPECT_THROW(CheckedAdd(max32, 1), OverflowError);
    EXPECT_THROW(CheckedSub(min64, std::int64_t{1}), OverflowError);
    EXPECT_THROW(CheckedMul(std::int64_t{1} << 40, std::int64_t{1} << 30), OverflowError);
    EXPECT_EQ(CheckedMul(std::int64_t{102400}, std::int64_t{1024}), 104857600);
    EXPECT_THROW(CheckedAdd(std::uint32_t{0xFFFFFFFF}, std::uint32_t{1}), OverflowError);
    EXPECT_EQ(CheckedCast<std::int32_t>(std::int64_t{-5}), -5);
    EXPECT_THROW(CheckedCast<std::int32_t>(std::int64_t{1} << 31), OverflowError);
    EXPECT_THROW(CheckedCast<std::uint32_t>(-1), OverflowError);
}
