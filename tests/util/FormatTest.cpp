#include "ThrownMessage.h"
#include "platform/Errors.h"
#include "platform/Locale.h"
#include "util/QuillTPU.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace QuillTPU;

namespace {

// Every test here runs under known separators and puts the user's back.
class Separators : public ::testing::Test {
protected:
    void SetUp() override {
        saved = Platform::LocaleSeparators();
        Platform::SetLocaleSeparators({",", "."});
    }
    void TearDown() override { Platform::SetLocaleSeparators(saved); }
    Platform::NumberSeparators saved;
};

using FormatSizeTest = Separators;
using FormatRealTest = Separators;

} // namespace

TEST_F(FormatSizeTest, BytesUnitsAndBoundaries) {
    EXPECT_EQ(FormatSize(0), "0 Byte");
    EXPECT_EQ(FormatSize(1), "1 Bytes");
    EXPECT_EQ(FormatSize(1023), "1,023 Bytes");
    EXPECT_EQ(FormatSize(1024), "1.0 KB");
    EXPECT_EQ(FormatSize(1280), "1.3 KB"); // 1.25: half away from zero
    EXPECT_EQ(FormatSize(1536), "1.5 KB");
    EXPECT_EQ(FormatSize(1048575), "1,024.0 KB"); // unit chosen before rounding
    EXPECT_EQ(FormatSize(1048576), "1.0 MB");
    EXPECT_EQ(FormatSize(10 * 1048576LL), "10.0 MB");
    EXPECT_EQ(FormatSize(1073741824LL * 3 / 2), "1.5 GB");
    EXPECT_EQ(FormatSize(1LL << 40), "1.0 TB");
    EXPECT_EQ(FormatSize(1LL << 50), "1,024.0 TB");
    // Three and six digits take no separator in front.
    EXPECT_EQ(FormatSize(999), "999 Bytes");
    EXPECT_EQ(FormatSize(512 * 1024), "512.0 KB");
    EXPECT_EQ(FormatSize(123456LL << 40), "123,456.0 TB");
}

TEST_F(FormatSizeTest, NegativeAndExtremeSizes) {
    EXPECT_EQ(FormatSize(-2048), "-2,048 Bytes");
    EXPECT_EQ(FormatSize(-1), "-1 Bytes");
    EXPECT_EQ(FormatSize(std::numeric_limits<std::int64_t>::min()),
              "-9,223,372,036,854,775,808 Bytes");
    // 2^63-1 bytes is 8388608 TB less one byte: rounds up to the next whole.
    EXPECT_EQ(FormatSize(std::numeric_limits<std::int64_t>::max()), "8,388,608.0 TB");
}

TEST_F(FormatSizeTest, RoundsHalvesOfTheFirstDecimalUpward) {
    EXPECT_EQ(FormatSize(1024 + 51), "1.0 KB"); // 1.0498...
    EXPECT_EQ(FormatSize(1024 + 52), "1.1 KB"); // 1.0507...
    EXPECT_EQ(FormatSize(1048576 * 5 / 2), "2.5 MB");
    EXPECT_EQ(FormatSize(1792), "1.8 KB"); // 1.75
    EXPECT_EQ(FormatSize(2304), "2.3 KB"); // 2.25: not to even
}

TEST_F(FormatSizeTest, FollowsTheRegionalSeparators) {
    Platform::SetLocaleSeparators({".", ","});
    EXPECT_EQ(FormatSize(1023), "1.023 Bytes");
    EXPECT_EQ(FormatSize(1536), "1,5 KB");
    EXPECT_EQ(FormatSize(1048575), "1.024,0 KB");
    // Separators of more than one byte (a narrow no-break space) work too.
    Platform::SetLocaleSeparators({"\u202f", ","});
    EXPECT_EQ(FormatSize(1048575), "1\u202f024,0 KB");
}

TEST_F(FormatRealTest, CutsDecimalsWithoutRounding) {
    EXPECT_EQ(FormatReal(12.3456L, 2), "12.34");
    EXPECT_EQ(FormatReal(2.999L, 2), "2.99");
    EXPECT_EQ(FormatReal(3.0L, 2), "3");
    EXPECT_EQ(FormatReal(2.5L, 2), "2.5");
    EXPECT_EQ(FormatReal(-1.239L, 2), "-1.23");
    EXPECT_EQ(FormatReal(12.345L, 1), "12.3");
    EXPECT_EQ(FormatReal(0.05L, 1), "0.0");
    EXPECT_EQ(FormatReal(2.0L, 1), "2");
    EXPECT_EQ(FormatReal(0.0L, 2), "0");
    EXPECT_EQ(FormatReal(-0.0L, 2), "0");
    EXPECT_EQ(FormatReal(0.0001L, 2), "0.00");
    EXPECT_EQ(FormatReal(123456789.987L, 1), "123456789.9");
}

TEST_F(FormatRealTest, DecimalPointIsAlwaysADot) {
    Platform::SetLocaleSeparators({".", ","});
    EXPECT_EQ(FormatReal(12.3456L, 1), "12.3");
    EXPECT_EQ(FormatReal(1234.5L, 2), "1234.5");
}

TEST_F(FormatRealTest, TinyMagnitudesAreFixedPointNeverScientific) {
    EXPECT_EQ(FormatReal(0.00005L, 2), "0.00");
    EXPECT_EQ(FormatReal(0.00005L, 1), "0.0");
    EXPECT_EQ(FormatReal(-0.00005L, 2), "-0.00");
    EXPECT_EQ(FormatReal(1e-300L, 2), "0.00");
    // With enough decimals the digits appear, cut, in plain form.
    EXPECT_EQ(FormatReal(0.0000123456L, 7), "0.0000123");
}

TEST_F(FormatRealTest, UsesFifteenSignificantDigits) {
    // 0.1 + 0.2 has a long binary tail that the 15-digit form hides.
    EXPECT_EQ(FormatReal(static_cast<long double>(0.1 + 0.2), 2), "0.3");
    EXPECT_EQ(FormatReal(1.0L / 3.0L, 2), "0.33");
    EXPECT_EQ(FormatReal(1e15L, 2), "1E15");
    // The cut shortens the mantissa and keeps the exponent (found by fuzzing).
    EXPECT_EQ(FormatReal(1.2345e20L, 2), "1.23E20");
    EXPECT_EQ(FormatReal(-9.87654e30L, 0), "-9E30");
}

TEST(FormatRealNaN, RaisesTheAssertionMessage) {
    EXPECT_EQ(ThrownMessage<AssertionError>(
                  [] { (void)FormatReal(std::numeric_limits<long double>::quiet_NaN(), 2); }),
              "Float number is NAN!");
}

TEST(FormatInteger, PlainDigitsWithoutGrouping) {
    EXPECT_EQ(FormatInteger(std::int32_t{-5}), "-5");
    EXPECT_EQ(FormatInteger(std::int32_t{1234567}), "1234567");
    EXPECT_EQ(FormatInteger(std::int64_t{5000000000LL}), "5000000000");
    EXPECT_EQ(FormatInteger(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(ReplaceCRLF, TokenBecomesLineBreakAndSwallowsOneBlank) {
    EXPECT_EQ(ReplaceCRLF("ACRLFB"), "A\r\nB");
    EXPECT_EQ(ReplaceCRLF("A CRLF B"), "A \r\nB");
    EXPECT_EQ(ReplaceCRLF("A CRLF  B"), "A\r\nB");
    EXPECT_EQ(ReplaceCRLF("CRLFCRLF"), "\r\n\r\n");
    EXPECT_EQ(ReplaceCRLF("crlf"), "crlf");
    EXPECT_EQ(ReplaceCRLF("a\r\nb"), "a\r\nb");
    EXPECT_EQ(ReplaceCRLF(""), "");
    EXPECT_EQ(ReplaceCRLF("CRLF"), "\r\n");
}

TEST(CopyRange, ClipsToTheText) {
    EXPECT_EQ(CopyRange(std::string("abcdef"), 1, 3), "abc");
    EXPECT_EQ(CopyRange(std::string("abcdef"), 4, 10), "def");
    EXPECT_EQ(CopyRange(std::string("abcdef"), 5, 3), "");
    EXPECT_EQ(CopyRange(std::string("abcdef"), 7, 9), "");
    EXPECT_EQ(CopyRange(std::string("abcdef"), 0, 2), "abc"); // count kept, start clipped
    EXPECT_EQ(CopyRange(std::string("abcdef"), -1, 1), "abc");
    EXPECT_EQ(CopyRange(std::string(""), 1, 1024), "");
}

TEST(CopyRange, CountsUtf16CodeUnits) {
    const std::u16string text = u"\u00e9t\u00e9 \U0001F600!";
    EXPECT_EQ(CopyRange(text, 1, 4), u"\u00e9t\u00e9 ");
    // The emoji is two code units: a cut in its middle keeps the first.
    EXPECT_EQ(CopyRange(text, 5, 5).size(), 1u);
}

TEST(CopyRange, RangeLengthOutside32BitsRaisesOverflow) {
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    EXPECT_THROW((void)CopyRange(std::string("abc"), lo, 5), OverflowError);
    EXPECT_THROW((void)CopyRange(std::string("abc"), -1, hi), OverflowError);
    EXPECT_EQ(CopyRange(std::string("abc"), 1, hi), "abc");
}
