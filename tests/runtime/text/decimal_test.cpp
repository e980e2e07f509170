#include "runtime/text/decimal.h"

#include <gtest/gtest.h>

namespace {

using namespace rt;

DecimalValue dec(std::string_view text) {
    auto v = DecimalValue::parse(text);
    EXPECT_TRUE(v.has_value()) << text;
    return v.value_or(DecimalValue());
}

TEST(DecimalParse, AcceptsSignPointAndBlanks) {
    struct Case {
        std::string_view text, printed;
    };
    const Case cases[] = {
        {"0", "0"},         {"-1234.50", "-1234.50"},
        {" 12 ", "12"},     {".5", "0.5"},
        {"5.", "5"},        {"-0.25", "-0.25"},
        {"+7", "7"},        {"-0", "0"},
        {"007.10", "7.10"}, {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
    };
    for (const auto& c : cases) EXPECT_EQ(dec(c.text).toString(), c.printed) << c.text;
}

TEST(DecimalParse, RejectsWhatIsNoNumber) {
    for (std::string_view bad :
         {"", " ", "-", ".", "1.2.3", "12a", "1,5", "--1", "1 2", "123456789012345678901234567890123456789"})
        EXPECT_FALSE(DecimalValue::parse(bad).has_value()) << bad;
    EXPECT_TRUE(DecimalValue::parseOrZero("x").isZero());
}

TEST(DecimalRounding, HalfAwayFromZero) {
    struct Case {
        std::string_view value;
        int places;
        std::string_view rounded;
    };
    const Case cases[] = {
        {"2.345", 2, "2.35"}, {"-2.345", 2, "-2.35"}, {"2.344", 2, "2.34"}, {"-2.344", 2, "-2.34"},
        {"0.5", 0, "1"},      {"-0.5", 0, "-1"},      {"1.45", 1, "1.5"},   {"-1.45", 1, "-1.5"},
        {"-0.04", 1, "0.0"},  {"9.99", 1, "10.0"},    {"12", 2, "12.00"},   {"1234.5", 1, "1234.5"},
    };
    for (const auto& c : cases) {
        auto r = dec(c.value).rounded(c.places);
        ASSERT_TRUE(r) << c.value;
        EXPECT_EQ(r->toString(), c.rounded) << c.value << " to " << c.places;
    }
}

TEST(DecimalArithmetic, ExactAndRoundedDivision) {
    EXPECT_EQ((dec("0.1") + dec("0.2")).toString(), "0.3");
    EXPECT_EQ((dec("1.5") - dec("2.25")).toString(), "-0.75");
    EXPECT_EQ((dec("1.25") * dec("-0.5")).toString(), "-0.625");
    EXPECT_EQ(DecimalValue::divide(dec("2"), dec("3"), 2)->toString(), "0.67");
    EXPECT_EQ(DecimalValue::divide(dec("-2"), dec("3"), 2)->toString(), "-0.67");
    EXPECT_EQ(DecimalValue::divide(dec("1"), dec("8"), 2)->toString(), "0.13");  // 0.125
    EXPECT_EQ(DecimalValue::divide(dec("-1"), dec("8"), 2)->toString(), "-0.13");
    EXPECT_EQ(DecimalValue::divide(dec("10"), dec("0.4"), 0)->toString(), "25");
    EXPECT_EQ(
        DecimalValue::divide(dec("1000000000000000000000000000000"), dec("100000000000000000000"), 10)->toString(),
        "10000000000.0000000000");
    EXPECT_EQ((dec("1") / dec("3")).toString(), "0.3333333333");
    EXPECT_EQ(DecimalValue::multiply(dec("1.005"), dec("1"), 2)->toString(), "1.01");
    EXPECT_FALSE(DecimalValue::divide(dec("1"), dec("0"), 2));
    EXPECT_TRUE((dec("1") / dec("0")).isZero());
}

TEST(DecimalArithmetic, OverflowIsReportedNotUndefined) {
    const DecimalValue big = dec("99999999999999999999999999999999999999");
    EXPECT_FALSE(DecimalValue::add(big, dec("1")));
    EXPECT_FALSE(DecimalValue::multiply(big, dec("10")));
    EXPECT_FALSE(big.rounded(1));
    EXPECT_EQ(big.toInt64(), INT64_MAX);
    EXPECT_EQ((-big).toInt64(), INT64_MIN);
}

TEST(DecimalCompare, AcrossScales) {
    EXPECT_EQ(dec("1.50"), dec("1.5"));
    EXPECT_LT(dec("-2"), dec("-1.99"));
    EXPECT_GT(dec("0.001"), dec("0"));
    EXPECT_LT(dec("-0.001"), dec("0"));
    EXPECT_GT(dec("99999999999999999999999999999999999999"), dec("0.000000000000000000000000000001"));
    EXPECT_EQ(dec("0.00"), DecimalValue(0));
}

TEST(DecimalConvert, IntegersAndDoubles) {
    EXPECT_EQ(dec("-12.5").toInt64(), -12);
    EXPECT_EQ(dec("-12.5").roundToInt64(), -13);
    EXPECT_EQ(dec("12.49").roundToInt64(), 12);
    EXPECT_DOUBLE_EQ(dec("0.1").toDouble(), 0.1);
    EXPECT_EQ(DecimalValue::fromDouble(2.675, 2)->toString(), "2.68");
    EXPECT_EQ(DecimalValue::fromDouble(-2.675, 2)->toString(), "-2.68");
    EXPECT_EQ(DecimalValue::fromDouble(1e20, 0)->toString(), "100000000000000000000");
    EXPECT_EQ(DecimalValue::fromDouble(1.5e-7, 8)->toString(), "0.00000015");
    EXPECT_EQ(DecimalValue::fromDouble(0.1)->normalized().toString(), "0.1");
    EXPECT_FALSE(DecimalValue::fromDouble(1.0 / 0.0));
    EXPECT_EQ(dec("12.3400").normalized().toString(), "12.34");
}

TEST(FixedDecimal, AssignmentRoundsAndDetectsOverflow) {
    Decimal<5, 1> provision;  // DECIMAL(5,1)
    EXPECT_EQ(provision.toString(), "0.0");
    EXPECT_TRUE(provision.set(dec("1234.55")));
    EXPECT_EQ(provision.toString(), "1234.6");
    EXPECT_TRUE(provision.set(dec("-1234.45")));
    EXPECT_EQ(provision.toString(), "-1234.5");
    EXPECT_TRUE(provision.set(dec("9999.94")));
    EXPECT_EQ(provision.toString(), "9999.9");
    EXPECT_FALSE(provision.set(dec("9999.95")));  // rounds to 10000.0: six digits
    EXPECT_EQ(provision.toString(), "9999.9");    // unchanged
    EXPECT_FALSE(provision.set(std::int64_t{12345}));
    EXPECT_FALSE(provision.set(std::string_view("abc")));
    EXPECT_TRUE(provision.set(std::string_view("-0.04")));
    EXPECT_EQ(provision.toString(), "0.0");
    provision = 2.25;
    EXPECT_EQ(provision.toString(), "2.3");
    provision = 7;
    EXPECT_EQ(provision.value(), DecimalValue(7));
    // Already at the field's places: taken as it is, up to five digits either side of zero.
    EXPECT_TRUE(provision.set(DecimalValue::fromUnits(-99999, 1)));
    EXPECT_EQ(provision.toString(), "-9999.9");
    EXPECT_FALSE(provision.set(DecimalValue::fromUnits(100000, 1)));
    EXPECT_FALSE(provision.set(DecimalValue::fromUnits(-100000, 1)));
    EXPECT_EQ(provision.toString(), "-9999.9");
    using Fraction = Decimal<3, 3>;
    EXPECT_FALSE(Fraction::from(dec("1")));
    EXPECT_EQ(Fraction::from(dec("0.9994"))->toString(), "0.999");
}

}  // namespace
