#include "Platform/Foundation/Decimal.h"

#include <gtest/gtest.h>

#include <limits>

namespace qor::platform {
namespace {

std::string describe(std::string_view text) {
    const auto value = Decimal::parse(text);
    return value ? value->description() : "<nullopt>";
}

TEST(Decimal, ParsesJSONNumberTextExactlyAndPrintsPlain) {
    EXPECT_EQ(describe("0"), "0");
    EXPECT_EQ(describe("-0"), "0");
    EXPECT_EQ(describe("0.1"), "0.1");
    EXPECT_EQ(describe("-12.5000"), "-12.5");
    EXPECT_EQ(describe("1.23e-3"), "0.00123");
    EXPECT_EQ(describe("12E+4"), "120000");
    EXPECT_EQ(describe("0.000000000000000000000000000000000000000000001"),
              "0.000000000000000000000000000000000000000000001");
    // 38 significant digits are kept as they are.
    EXPECT_EQ(describe("3.1415926535897932384626433832795028841"), "3.1415926535897932384626433832795028841");
    EXPECT_EQ(describe("123456789012345678901234567890"), "123456789012345678901234567890");
}

TEST(Decimal, RoundsDigitsPastTheThirtyEighthHalfToEven) {
    const std::string zeros(36, '0');
    // "1." + 36 zeros + two more digits = 39 significant digits: the last is rounded away.
    EXPECT_EQ(describe("1." + zeros + "05"), "1");                  // tie, even stays
    EXPECT_EQ(describe("1." + zeros + "15"), "1." + zeros + "2");   // tie, odd goes up
    EXPECT_EQ(describe("1." + zeros + "051"), "1." + zeros + "1");  // above the tie
    EXPECT_EQ(describe("1." + zeros + "049"), "1");                 // below the tie
    // Carry through all nines grows the exponent.
    EXPECT_EQ(describe(std::string(38, '9') + ".9"), "1" + std::string(38, '0'));
}

TEST(Decimal, RefusesTextThatIsNotAJSONNumberOrOutOfRange) {
    for (const char* text : {"", "-", "01", "1.", ".5", "+1", "1e", "1e+", "0x10", "1 ", " 1", "NaN", "1.5.2", "--1"}) {
        EXPECT_FALSE(Decimal::parse(text).has_value()) << text;
    }
    EXPECT_FALSE(Decimal::parse("1e400").has_value());
    EXPECT_FALSE(Decimal::parse("1e-400").has_value());
    EXPECT_EQ(describe("1e164"), "1" + std::string(164, '0'));  // scaled into the mantissa
    EXPECT_FALSE(Decimal::parse("1e165").has_value());
    EXPECT_EQ(describe("0e999999999999"), "0");
}

TEST(Decimal, ComparesByNumericValue) {
    EXPECT_EQ(Decimal(1), *Decimal::parse("1.000"));
    EXPECT_EQ(Decimal(0.1), *Decimal::parse("0.1"));
    EXPECT_EQ(Decimal(0.1f), *Decimal::parse("0.1"));
    EXPECT_NE(Decimal(1), Decimal(-1));
    EXPECT_LT(Decimal(-2), Decimal(-1));
    EXPECT_LT(*Decimal::parse("0.0999"), *Decimal::parse("0.1"));
    EXPECT_GT(*Decimal::parse("100"), *Decimal::parse("99.99999"));
    EXPECT_LT(Decimal(0), *Decimal::parse("0.0000001"));
    EXPECT_FALSE(Decimal::nan() == Decimal::nan());
    EXPECT_EQ(Decimal::nan() <=> Decimal(1), std::partial_ordering::unordered);
}

TEST(Decimal, ConvertsToAndFromBinaryNumbers) {
    EXPECT_EQ(Decimal(std::numeric_limits<std::int64_t>::min()).description(), "-9223372036854775808");
    EXPECT_EQ(Decimal(std::numeric_limits<std::uint64_t>::max()).description(), "18446744073709551615");
    EXPECT_EQ(Decimal::parse("-9223372036854775808")->exactInt64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(Decimal::parse("9223372036854775808")->exactInt64().has_value());
    EXPECT_EQ(Decimal::parse("9223372036854775808")->exactUInt64(), 9223372036854775808ull);
    EXPECT_FALSE(Decimal::parse("2.5")->exactInt64().has_value());
    EXPECT_EQ(Decimal::parse("2.0e1")->exactInt64(), 20);
    EXPECT_EQ(Decimal::parse("-2.9")->int64Value(), -2);
    EXPECT_EQ(Decimal::parse("1e30")->int64Value(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Decimal::parse("-5")->uint64Value(), 0u);

    EXPECT_EQ(Decimal::parse("0.1")->doubleValue(), 0.1);
    EXPECT_EQ(Decimal::parse("0.1")->floatValue(), 0.1f);
    EXPECT_EQ(Decimal(1e300).description(), "NaN");  // beyond the exponent range
    EXPECT_TRUE(Decimal(std::numeric_limits<double>::infinity()).isNaN());
    EXPECT_EQ(Decimal(-2.5).description(), "-2.5");
}

}  // namespace
}  // namespace qor::platform
