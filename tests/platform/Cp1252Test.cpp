#include "platform/qt/Cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, RoundTripsEveryByte)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    EXPECT_EQ(ToCp1252(FromCp1252(all)), all);
}

TEST(Cp1252, MapsTheWindowsRangeAndLatin1)
{
    EXPECT_EQ(FromCp1252("\x80\x99\xB7\xE9"), QString::fromUtf8("\u20AC\u2122\u00B7\u00E9"));
    EXPECT_EQ(ToCp1252(QString::fromUtf8("\u20AC\u2014")), "\x80\x97");
    EXPECT_EQ(ToCp1252(QString::fromUtf8("\u4E2D")), "?");
}
