#include "link/SevenSegmentDigit.h"

#include <QImage>
#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

using Pixel = std::pair<int, int>;

// Pixels of each segment of a 19 x 33 digit (W 19, H 33, M 16): three lines each, end points excluded.
std::set<Pixel> segmentPixels(int segment)
{
    struct L {
        int x1, y1, x2, y2;
    };
    static const L lines[8][3] = {
        {},
        {{1, 4, 1, 15}, {2, 3, 2, 16}, {3, 4, 3, 15}},       // upper left
        {{4, 1, 15, 1}, {3, 2, 16, 2}, {4, 3, 15, 3}},       // top
        {{17, 4, 17, 15}, {16, 3, 16, 16}, {15, 4, 15, 15}}, // upper right
        {{17, 18, 17, 29}, {16, 17, 16, 30}, {15, 18, 15, 29}},
        {{4, 29, 15, 29}, {3, 30, 16, 30}, {4, 31, 15, 31}}, // bottom
        {{1, 18, 1, 29}, {2, 17, 2, 30}, {3, 18, 3, 29}},    // lower left
        {{4, 15, 15, 15}, {3, 16, 16, 16}, {4, 17, 15, 17}}, // middle
    };
    std::set<Pixel> out;
    for (const L &l : lines[segment])
        for (int x = l.x1, y = l.y1; x < std::max(l.x2, l.x1 + 1) && y < std::max(l.y2, l.y1 + 1);
             l.x1 == l.x2 ? ++y : ++x)
            out.insert({x, y});
    return out;
}

const std::set<int> kLit[10] = {
    {1, 2, 3, 4, 5, 6}, {3, 4}, {2, 3, 5, 6, 7}, {2, 3, 4, 5, 7}, {1, 3, 4, 7},
    {1, 2, 4, 5, 7}, {1, 2, 4, 5, 6, 7}, {2, 3, 4}, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 7},
};

QImage render(TLed &led) { return led.grab().toImage().convertToFormat(QImage::Format_RGB32); }

std::set<Pixel> pixelsOf(const QImage &image, QColor color)
{
    std::set<Pixel> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color) out.insert({x, y});
    return out;
}

} // namespace

TEST(Led, EveryDigitLightsExactlyItsSegments)
{
    TLed led;
    ASSERT_EQ(led.size(), QSize(19, 33));
    for (int digit = 0; digit <= 9; ++digit) {
        led.SetValue(digit);
        std::set<Pixel> expected;
        for (int s : kLit[digit]) expected.merge(segmentPixels(s));
        EXPECT_EQ(pixelsOf(render(led), QColor(0, 255, 0)), expected) << "digit " << digit;
    }
}

TEST(Led, AChangeRedrawsOnlyTheSegmentsThatDiffer)
{
    TLed led;
    led.SetValue(8);
    QImage before = render(led);
    led.SetValue(0);
    QImage after = render(led);
    std::set<Pixel> changed;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 19; ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) changed.insert({x, y});
    EXPECT_EQ(changed, segmentPixels(7));

    led.SetValue(1);
    before = render(led);
    led.SetValue(7);
    changed.clear();
    after = render(led);
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 19; ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) changed.insert({x, y});
    EXPECT_EQ(changed, segmentPixels(2));
}

TEST(Led, ValuesAreClampedAndColoursAndBorderRepaint)
{
    TLed led;
    led.SetValue(12);
    EXPECT_EQ(led.Value(), 9);
    led.SetValue(-5);
    EXPECT_EQ(led.Value(), -1);
    EXPECT_TRUE(pixelsOf(render(led), QColor(0, 255, 0)).empty());

    led.SetValue(1);
    led.SetForeColor(QColor(0, 0x80, 0));
    led.SetBorder(TLed::bsSingle);
    led.SetBorderColor(Qt::red);
    QImage image = render(led);
    std::set<Pixel> expected = segmentPixels(3);
    expected.merge(segmentPixels(4));
    EXPECT_EQ(pixelsOf(image, QColor(0, 0x80, 0)), expected);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(18, 32), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(9, 9), QColor(Qt::black));
}
