#include "platform/ShortStr.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <utility>

TEST(Text, TrimRemovesControlBytesAndBlanksAtBothEnds)
{
    EXPECT_EQ(Trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(Trim("\xE9 "), "\xE9");   // bytes above 7Fh are text
}

TEST(Text, CaseRulesAreAsciiOnly)
{
    EXPECT_EQ(UpperCase("abc\xE9z"), "ABC\xE9Z");
    EXPECT_TRUE(SameText("Port", "PORT"));
    EXPECT_FALSE(SameText("\xE9", "\xC9"));
    EXPECT_FALSE(SameText("ab", "abc"));
    EXPECT_TRUE(StartsWithText("TPL(M100)", "tpl("));
}

TEST(Text, ParseIntAcceptsDecimalAndDollarHexOnly)
{
    struct Case {
        const char *text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"19200", 19200},     {"-5", -5},          {"+7", 7},        {"  12", 12},
        {"$1F", 31},          {"$ff", 255},        {"$FFFFFFFF", -1}, {"-$10", -16},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt},
        {"", std::nullopt},   {"$", std::nullopt}, {"12 ", std::nullopt}, {"1x", std::nullopt},
        {"0x1F", std::nullopt}, {"-", std::nullopt}, {"$100000000", std::nullopt},
    };
    for (const Case &c : cases) EXPECT_EQ(ParseInt(c.text), c.value) << c.text;
    EXPECT_EQ(StrToIntDef("bad", 42), 42);
}

TEST(Text, ParseRealRejectsTextsThatAreNotPlainNumbers)
{
    EXPECT_EQ(ParseReal(" 1.5 "), 1.5);
    EXPECT_EQ(ParseReal("-2e3"), -2000.0);
    EXPECT_EQ(ParseReal("+.5"), 0.5);
    for (const char *bad : {"", "1.5x", "inf", "nan", "0x10", "1,5", "--1"})
        EXPECT_FALSE(ParseReal(bad).has_value()) << bad;
}

TEST(Text, FloatToStrUsesFifteenSignificantDigitsTheSeparatorAndAShortExponent)
{
    EXPECT_EQ(FloatToStr(0.1 * 3), "0.3");
    EXPECT_EQ(FloatToStr(12.0), "12");
    const std::pair<double, const char *> exponents[] = {
        {0.00001, "1E-5"}, {2e15, "2E15"}, {-2.5e-100, "-2.5E-100"}, {1e300, "1E300"}, {0.0001, "0.0001"},
        {1e14, "100000000000000"},
    };
    for (const auto &[value, text] : exponents) EXPECT_EQ(FloatToStr(value), text) << text;
    SetDecimalSeparator(',');
    EXPECT_EQ(FloatToStr(1.5), "1,5");
    EXPECT_EQ(FloatToStr(1.5e-7), "1,5E-7");
    SetDecimalSeparator('.');
}

TEST(ShortStr, CutsOnConstructionAndAssignment)
{
    ShortStr<3> s("abcdef");
    EXPECT_EQ(s.str(), "abc");
    s = std::string("xy");
    EXPECT_EQ(s.str(), "xy");
    s = "1234";
    EXPECT_EQ(s.size(), 3u);
    std::string nul("a\0b", 3);
    s = nul;
    EXPECT_EQ(s.str(), nul);   // a NUL byte is an ordinary byte
}
