#include "serial/SerStatusLight.h"

#include "Pump.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QColor White(255, 255, 255), Grey(128, 128, 128), Green(0, 128, 0), Red(255, 0, 0), Blue(0, 0, 255),
    Yellow(255, 255, 0), Magenta(255, 0, 255);

struct Pixel {
    int x, y;
    QColor color;
};

void ExpectPixels(const QImage &image, std::initializer_list<Pixel> pixels, const char *what)
{
    for (const Pixel &p : pixels)
        EXPECT_EQ(image.pixelColor(p.x, p.y), p.color) << what << " at " << p.x << "," << p.y;
}

// A parent of a known background colour, so that transparent pixels show it.
struct Backdrop : QWidget {
    Backdrop()
    {
        QPalette palette;
        palette.setColor(QPalette::Window, Yellow);
        setPalette(palette);
        setAutoFillBackground(true);
        resize(60, 60);
    }
    QImage Render(const QWidget &child) { return grab(child.geometry()).toImage().convertToFormat(QImage::Format_RGB32); }
};

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

TEST(StatusLight, PlainLightIsABevelledSquareOfItsColour)
{
    Backdrop backdrop;
    TSerStatusLight light(&backdrop);
    EXPECT_EQ(light.size(), QSize(13, 13));
    for (const bool lit : {false, true}) {
        light.SetLit(lit);
        const QColor face = lit ? Red : Green;
        ExpectPixels(backdrop.Render(light),
                     {{6, 6, face}, {1, 1, face}, {11, 11, face}, {0, 0, White}, {12, 0, White}, {0, 12, White},
                      {6, 0, White}, {0, 6, White}, {12, 1, Grey}, {12, 6, Grey}, {12, 12, Grey}, {1, 12, Grey},
                      {6, 12, Grey}},
                     lit ? "lit" : "unlit");
    }
}

TEST(StatusLight, GlyphHalvesShowLitAndUnlitWithTheTopLeftColourTransparent)
{
    QImage glyph(26, 13, QImage::Format_RGB32);
    glyph.fill(Magenta);
    QPainter painter(&glyph);
    painter.fillRect(1, 1, 11, 11, Red);    // lit half
    painter.fillRect(14, 1, 11, 11, Blue);  // unlit half
    painter.end();

    Backdrop backdrop;
    TSerStatusLight light(&backdrop);
    light.SetGlyph(glyph);
    EXPECT_EQ(light.size(), QSize(13, 13));
    light.resize(40, 20);
    EXPECT_EQ(light.size(), QSize(13, 13));

    light.SetLit(true);
    ExpectPixels(backdrop.Render(light), {{6, 6, Red}, {1, 1, Red}, {0, 0, Yellow}, {12, 12, Yellow}}, "lit");
    light.SetLit(false);
    ExpectPixels(backdrop.Render(light), {{6, 6, Blue}, {11, 11, Blue}, {0, 0, Yellow}, {12, 12, Yellow}}, "unlit");

    light.SetGlyph(QImage());
    EXPECT_EQ(light.size(), QSize(13, 13));
    ExpectPixels(backdrop.Render(light), {{6, 6, Green}, {0, 0, White}}, "without glyph");
}

TEST(StatusLight, LayoutsNeitherSqueezeNorStretchALight)
{
    for (const QSize window : {QSize(20, 8), QSize(300, 200)}) {
        QWidget parent;
        auto *row = new QHBoxLayout(&parent);
        auto *label = new QLabel("Status");
        auto *light = new TSerStatusLight;
        row->addWidget(label, 1);
        row->addWidget(light, 1);
        parent.resize(window);
        parent.show();
        EXPECT_EQ(light->size(), QSize(13, 13)) << window.width() << "x" << window.height();
    }
}

TEST(StatusLight, ColourChangesRepaintOnlyWhenTheyShow)
{
    Backdrop backdrop;
    TSerStatusLight light(&backdrop);
    backdrop.show();
    PumpFor(50ms);
    PaintCounter counter;
    light.installEventFilter(&counter);

    light.SetLitColor(Blue);   // unlit: nothing to show
    PumpFor(50ms);
    EXPECT_EQ(counter.paints, 0);

    light.SetNotLitColor(Yellow);
    ASSERT_TRUE(PumpUntil([&] { return counter.paints > 0; }, 1s));
    light.SetLit(true);
    counter.paints = 0;
    ASSERT_TRUE(PumpUntil([&] { return counter.paints > 0; }, 1s));
    ExpectPixels(backdrop.Render(light), {{6, 6, Blue}}, "lit in the new colour");

    counter.paints = 0;
    light.SetNotLitColor(Green);   // lit: nothing to show
    light.SetLit(true);            // no change
    PumpFor(50ms);
    EXPECT_EQ(counter.paints, 0);
}
