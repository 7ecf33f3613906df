#include "Pump.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "app/Splash.h"
#include "model/SettingsModule.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace std::chrono_literals;

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override { BmpFileName = dir.file("CORVANE.BMP"); }
    void TearDown() override { BmpFileName.clear(); }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
};

TEST_F(SplashTest, ShowsTheBitmapAtItsSizeOrTheBlankDesignSizeCentredAndOnTop)
{
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    struct Case {
        const char *what;
        std::function<void()> prepare;
        QSize size;
        std::size_t reports;
    };
    const Case cases[] = {
        {"no bitmap", [] {}, {258, 224}, 0},
        {"a bitmap of 400 x 300", [&] { picture.save(QString::fromStdString(BmpFileName), "BMP"); }, {400, 300}, 0},
        {"a file that is no bitmap", [&] { dir.write("CORVANE.BMP", "BM not really"); }, {258, 224}, 1},
    };
    for (const Case &c : cases) {
        ui.clear();
        c.prepare();
        std::unique_ptr<TSplashForm> splash(ShowSplash());
        ASSERT_NE(splash, nullptr) << c.what;
        EXPECT_TRUE(splash->isVisible()) << c.what;
        EXPECT_EQ(splash->size(), c.size) << c.what;
        EXPECT_EQ(splash->frameGeometry().center(), splash->screen()->availableGeometry().center()) << c.what;
        EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(ui.warnings().size(), c.reports) << c.what;
    }
}

TEST_F(SplashTest, AWindowThatCannotBeMadeIsNoSplashAndNoMessage)
{
    EXPECT_EQ(ShowSplash([]() -> TSplashForm * { throw std::runtime_error("no window"); }), nullptr);
    EXPECT_EQ(ShowSplash([]() -> TSplashForm * { throw 5; }), nullptr);
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(SplashTest, AModalBoxDuringStartUpIsNeverUnderTheSplash)
{
    std::unique_ptr<TSplashForm> splash(ShowSplash());
    QDialog box;
    bool splashShownWithBox = true;
    QTimer::singleShot(50, &box, [&] {
        splashShownWithBox = splash->isVisible();
        box.accept();
    });
    box.exec();
    EXPECT_FALSE(splashShownWithBox);
    PumpFor(20ms);
    EXPECT_TRUE(splash->isVisible());   // back until the start-up timer frees it
}
