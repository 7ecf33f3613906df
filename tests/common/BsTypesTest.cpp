#include "common/BsTypes.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

TEST(BsTypes, DelimitedParts)
{
    EXPECT_EQ(StrBefore("abc", ","), "abc");
    EXPECT_EQ(StrAfter("abc", ","), "");
    EXPECT_EQ(StrBefore("a..b..c", ".."), "a");
    EXPECT_EQ(StrAfter("a..b..c", ".."), "b..c");
    EXPECT_EQ(StrBefore("x @y", " @"), "x");

    std::string text = "1,2";
    EXPECT_EQ(SplitStr(text, 255, ","), "1");
    EXPECT_EQ(SplitStr(text, 255, ","), "2");
    EXPECT_EQ(text, "");

    text = "a,bcdef";
    EXPECT_EQ(SplitStr(text, 3, ","), "a");
    EXPECT_EQ(text, "bcd");   // the rest is cut to the maximum

    std::string long300(300, 'x');
    EXPECT_EQ(StrBefore(long300, ",").size(), 255u);
    EXPECT_EQ(LongStrBefore(long300, ",").size(), 300u);
    std::string longText = long300 + ",tail";
    EXPECT_EQ(SplitLongStr(longText, ",").size(), 300u);
    EXPECT_EQ(longText, "tail");
}

TEST(BsTypes, PaddingNeverCuts)
{
    EXPECT_EQ(PadLeft("7", '0', 3), "007");
    EXPECT_EQ(PadLeft("1234", '0', 3), "1234");
    EXPECT_EQ(PadRight("ab", '.', 4), "ab..");
    EXPECT_EQ(PadRight("abcde", '.', 4), "abcde");
    EXPECT_EQ(ZeroPad(5, 2), "05");
    EXPECT_EQ(ZeroPad(-5, 3), "0-5");
    EXPECT_EQ(ZeroPad(1, 40).size(), 20u);
    EXPECT_EQ(FillStr('-', 3), "---");
    EXPECT_EQ(FillStr('-', 300).size(), 255u);
}

TEST(BsTypes, PutStrWritesInPlaceAndStaysInsideTheBuffer)
{
    char buf[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    PutStr(buf, sizeof buf, "XY", 1);
    EXPECT_EQ(std::string(buf, 6), "aXYdef");
    PutStr(buf, sizeof buf, "123", 4);
    EXPECT_EQ(std::string(buf, 6), "aXYd12");
}

TEST(BsTypes, Numbers)
{
    EXPECT_EQ(RoundUp(2.0), 2);
    EXPECT_EQ(RoundUp(2.01), 3);
    EXPECT_EQ(RoundUp(0.0), 0);
    EXPECT_EQ(RoundUp(-2.0), -2);
    EXPECT_EQ(RoundUp(-0.5), 0);
    EXPECT_EQ(RoundUp(-1.5), 0);   // the integer part of -0.5, not the ceiling -1
    EXPECT_EQ(RoundUp(-2.5), -1);

    EXPECT_DOUBLE_EQ(StrToRealDef("1,5", 0), 1.5);
    EXPECT_DOUBLE_EQ(StrToRealDef("", 7), 7);
    EXPECT_DOUBLE_EQ(StrToRealDef("1.5x", 7), 7);
    EXPECT_DOUBLE_EQ(StrToRealDef(" -0.25 ", 7), -0.25);
}

TEST(BsTypes, RealToStrRoundsHalfAwayFromZero)
{
    struct Case {
        double x;
        int decimals;
        bool whole;
        const char *text;
    };
    const Case cases[] = {
        {3.0, 2, true, "3"},        {3.0, 2, false, "3.00"},   {2.5, 0, false, "3"},
        {-2.5, 0, false, "-3"},     {2.675, 2, false, "2.67"}, {0.125, 2, false, "0.13"},   // 2.675 is stored below the half
        {9.996, 2, false, "10.00"}, {0.004, 2, false, "0.00"}, {-0.004, 2, false, "0.00"},
        {0.05, 1, false, "0.1"},    {123456.5, 0, false, "123457"}, {1e-7, 3, false, "0.000"},
        {2.5, 3, true, "2.500"},
    };
    for (const Case &c : cases) EXPECT_EQ(RealToStr(c.x, c.decimals, c.whole), c.text) << c.x;

    SetDecimalSeparator(',');
    EXPECT_EQ(RealToStr(3.0, 2, false), "3,00");
    SetDecimalSeparator('.');
}
