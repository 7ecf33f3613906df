#include "common/ByteDisplay.h"

#include <gtest/gtest.h>

TEST(ByteDisplay, ShowsEveryByteClass)
{
    EXPECT_EQ(BytesToDisplay("\x1B[C\r", " "), "<ESC>[C<CR>");
    EXPECT_EQ(BytesToDisplay("A B", ""), "A\xB7" "B");
    EXPECT_EQ(BytesToDisplay(std::string("\0\x1F\x7F\x80\xE9 ", 6), "<Space>"),
              "<NUL><US><DEL><$80><$E9><Space>");
    EXPECT_EQ(BytesToDisplay(" ", "0123456789ABC"), "0123456789");   // space text cut to 10
    EXPECT_EQ(ControlCharNames[32], "Space");
}

TEST(ByteDisplay, CutsAt255Characters)
{
    std::string bytes(100, '\x1B');
    std::string shown = BytesToDisplay(bytes, " ");
    EXPECT_EQ(shown.size(), 255u);
    EXPECT_EQ(shown.substr(0, 10), "<ESC><ESC>");
}

TEST(ByteDisplay, HexTextToBytesAndBack)
{
    EXPECT_EQ(HexToBytes("1B5B4"), "\x1B[");
    EXPECT_EQ(HexToBytes(""), "");
    EXPECT_EQ(HexToBytes("1b5b43"), "\x1B[C");
    EXPECT_EQ(HexToBytes("00FF"), std::string("\0\xFF", 2));
    EXPECT_EQ(BytesToHex(std::string("\x1B\0\xfe", 3)), "1B00FE");
    EXPECT_EQ(HexToBytes(std::string(600, 'A')).size(), 255u);
}

TEST(ByteDisplay, NonHexPairRaisesAClearError)
{
    for (const char *bad : {"1G", "1B 5B", "0x1B", "ZZ00"}) {
        try {
            HexToBytes(bad);
            ADD_FAILURE() << bad;
        } catch (const HexConvertError &e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
}
