#include "Pump.h"
#include "ScriptedUi.h"
#include "download/DropButtons.h"

#include <QDialog>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace std::chrono_literals;

namespace {

// A window at a known place holding a button like the download window's recent-files button.
struct MenuWindow {
    MenuWindow()
    {
        window.setGeometry(450, 200, 200, 120);   // room for the menu to the left of the button
        button = new TDropSpeedButton(&window);
        button->setGeometry(60, 20, 16, 32);
        menu = new TPopupMenu(&window);
        menu->Alignment = TPopupAlignment::paRight;
        menu->OnPopup = [this] {
            ++popups;
            menu->clear();
            menu->addAction("/programs/first.bin");
            menu->addAction("/programs/a much longer second entry.bin");
        };
        button->SetDropDownMenu(menu);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }
    QPoint buttonCentre() const { return button->geometry().center(); }

    QWidget window;
    TDropSpeedButton *button;
    TPopupMenu *menu;
    int popups = 0;
    bool exposed = false;
};

// Acts while the menu is open, then closes it if it is still open.
void WhileOpen(TPopupMenu *menu, std::function<void()> act)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (!menu->isVisible())
            return;
        timer->stop();
        act();
        if (menu->isVisible())
            menu->close();
        timer->deleteLater();
    });
    timer->start(5);
}

} // namespace

TEST(DropSpeedButton, TheMarkIsCentredAndEmbossedWhenDisabled)
{
    MenuWindow w;
    const QPalette &pal = w.button->palette();
    const QRgb text = pal.color(QPalette::ButtonText).rgb(), light = pal.color(QPalette::Light).rgb(),
               dark = pal.color(QPalette::Dark).rgb();
    // 16 x 32 with neither glyph nor caption: rows of 7, 5, 3 and 1 pixels from (4, 14).
    QImage up = w.button->grab().toImage();
    for (int row = 0; row < 4; ++row) {
        for (int x = 4 + row; x <= 10 - row; ++x)
            EXPECT_EQ(up.pixel(x, 14 + row), text) << x << "," << 14 + row;
        EXPECT_NE(up.pixel(3 + row, 14 + row), text);
        EXPECT_NE(up.pixel(11 - row, 14 + row), text);
    }
    w.button->setEnabled(false);
    QImage disabled = w.button->grab().toImage();
    EXPECT_EQ(disabled.pixel(4, 14), dark);
    EXPECT_EQ(disabled.pixel(7, 17), dark);
    EXPECT_EQ(disabled.pixel(11, 15), light);   // the highlight one pixel right and down
    EXPECT_EQ(disabled.pixel(8, 18), light);
    EXPECT_EQ(w.button->State(), TButtonState::bsDisabled);
}

TEST(DropSpeedButton, TheMenuPointFollowsPositionAndAlignment)
{
    TDropSpeedButton button;
    button.resize(16, 32);
    TPopupMenu menu;
    button.SetDropDownMenu(&menu);
    const std::tuple<TDropDownMenuPosition, TPopupAlignment, QPoint> cases[] = {
        {TDropDownMenuPosition::dmpBottom, TPopupAlignment::paLeft, {-1, 32}},
        {TDropDownMenuPosition::dmpBottom, TPopupAlignment::paRight, {17, 32}},
        {TDropDownMenuPosition::dmpBottom, TPopupAlignment::paCenter, {8, 32}},
        {TDropDownMenuPosition::dmpRight, TPopupAlignment::paLeft, {16, -1}},
        {TDropDownMenuPosition::dmpRight, TPopupAlignment::paRight, {-1, -1}},
        {TDropDownMenuPosition::dmpRight, TPopupAlignment::paCenter, {8, 32}},
    };
    for (const auto &[position, alignment, point] : cases) {
        button.SetMenuPosition(position);
        menu.Alignment = alignment;
        EXPECT_EQ(button.MenuPoint(), point) << int(position) << " " << int(alignment);
    }
}

TEST(DropSpeedButton, ARightAlignedMenuDropsBelowWithItsRightEdgeOnePixelRight)
{
    MenuWindow w;
    QRect dropped;
    int itemsShown = 0;
    bool pressedMeanwhile = false;
    WhileOpen(w.menu, [&] {
        dropped = w.menu->geometry();
        itemsShown = int(w.menu->actions().size());
        pressedMeanwhile = w.button->isDown();
    });
    QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, {}, w.buttonCentre());

    const QPoint buttonAt = w.button->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(itemsShown, 2);   // the pop-up event ran before the menu was placed
    EXPECT_EQ(dropped.top(), buttonAt.y() + 32);
    EXPECT_EQ(dropped.left() + dropped.width(), buttonAt.x() + 16 + 1);
    EXPECT_TRUE(pressedMeanwhile);
    EXPECT_FALSE(w.button->isDown());
}

TEST(DropSpeedButton, ClickingTheButtonWhileItsMenuIsOpenOnlyClosesTheMenu)
{
    MenuWindow w;
    int clicks = 0;
    w.button->OnClick = [&] { ++clicks; };
    WhileOpen(w.menu, [&] { QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, {}, w.buttonCentre()); });
    QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, {}, w.buttonCentre());
    PumpFor(100ms);
    EXPECT_EQ(w.popups, 1);
    EXPECT_FALSE(w.menu->isVisible());
    EXPECT_EQ(clicks, 0);   // a button with a menu is released without a click
}

TEST(DropSpeedButton, WithoutAMenuAClickEndsTheDialogWithTheModalResult)
{
    QDialog dialog;
    auto *button = new TDropSpeedButton(&dialog);
    button->SetCaption("&Go");
    button->SetModalResult(QDialog::Accepted);
    int clicks = 0;
    button->OnClick = [&] { ++clicks; };
    QTimer::singleShot(0, [&] { button->click(); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->shortcut(), QKeySequence("Alt+G"));
}

TEST(DropSpeedButton, OneButtonOfAGroupIsDown)
{
    QWidget parent;
    TDropSpeedButton *buttons[3];
    for (auto *&b : buttons) {
        b = new TDropSpeedButton(&parent);
        b->SetGroupIndex(1);
    }
    auto downs = [&] {
        std::string d;
        for (auto *b : buttons)
            d += b->Down() ? '1' : '0';
        return d;
    };
    buttons[0]->SetDown(true);
    EXPECT_EQ(downs(), "100");
    buttons[1]->click();
    EXPECT_EQ(downs(), "010");
    EXPECT_EQ(buttons[1]->State(), TButtonState::bsExclusive);
    buttons[1]->click();
    buttons[1]->SetDown(false);
    EXPECT_EQ(downs(), "010");   // without AllowAllUp one stays down
    for (auto *b : buttons)
        b->SetAllowAllUp(true);
    buttons[1]->click();
    EXPECT_EQ(downs(), "000");
    auto *ungrouped = new TDropSpeedButton(&parent);
    ungrouped->SetDown(true);
    EXPECT_FALSE(ungrouped->Down());
}

TEST(DropSpeedButton, GlyphImagesForEachState)
{
    const QColor transparent(0, 128, 128), red(255, 0, 0), white(255, 255, 255);
    QImage strip(26, 13, QImage::Format_RGB32);
    strip.fill(transparent);
    strip.setPixelColor(3, 3, red);
    strip.setPixelColor(4, 4, white);
    strip.setPixelColor(13 + 5, 5, Qt::blue);   // the second slice: the disabled image
    TDropSpeedButton button;
    button.SetGlyph(strip);
    EXPECT_EQ(button.NumGlyphs(), 2);
    EXPECT_EQ(button.GlyphImage(TButtonState::bsUp).pixelColor(3, 3), red);
    EXPECT_EQ(button.GlyphImage(TButtonState::bsUp).pixelColor(0, 12).alpha(), 0);
    EXPECT_EQ(button.GlyphImage(TButtonState::bsDisabled).pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(button.GlyphImage(TButtonState::bsDown), button.GlyphImage(TButtonState::bsUp));
    EXPECT_EQ(button.GlyphImage(TButtonState::bsInactive).pixelColor(3, 3), QColor(76, 76, 76));

    button.SetNumGlyphs(1);   // the disabled image is embossed from the up image
    const QImage disabled = button.GlyphImage(TButtonState::bsDisabled);
    EXPECT_EQ(disabled.pixel(3, 3), button.palette().color(QPalette::Dark).rgb());
    EXPECT_EQ(disabled.pixel(4, 4), button.palette().color(QPalette::Light).rgb());   // white is not shape
    EXPECT_EQ(disabled.pixelColor(0, 0).alpha(), 0);

    QImage six(78, 13, QImage::Format_RGB32);
    six.fill(transparent);
    button.SetGlyph(six);
    EXPECT_EQ(button.NumGlyphs(), 1);
}

TEST(DropSpeedButton, HoldingTheButtonRepeatsTheClickUntilAClickFails)
{
    testsupport::ScriptedUi ui;
    QWidget window;
    window.resize(100, 100);
    auto *button = new TDropSpeedButton(&window);
    button->setGeometry(10, 10, 25, 25);
    button->SetAllowTimer(true);
    button->SetInitPause(30);
    button->SetRepeatInterval(10);
    int clicks = 0;
    bool fail = false;
    button->OnClick = [&] {
        ++clicks;
        if (fail)
            throw std::runtime_error("click failed");
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
    PumpFor(150ms);
    EXPECT_GE(clicks, 3);
    fail = true;
    const int before = clicks;
    PumpFor(150ms);
    EXPECT_EQ(clicks, before + 1);
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"click failed"});
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
}

// From the keyboard: the button is a tab stop, and Space, F4 or Alt+Down drops its menu; Down alone does not.
TEST(DropSpeedButton, KeysDropTheMenuOfTheFocusedButton)
{
    MenuWindow w;
    ASSERT_TRUE(w.exposed);
    EXPECT_TRUE(w.button->focusPolicy() & Qt::TabFocus);
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int popups;   // afterwards
    };
    for (const Case &c : {Case {Qt::Key_Space, {}, 1}, Case {Qt::Key_F4, {}, 2}, Case {Qt::Key_Down, Qt::AltModifier, 3},
                          Case {Qt::Key_Down, {}, 3}}) {
        const bool drops = c.popups > w.popups;
        if (drops) WhileOpen(w.menu, [] {});   // its timer lives until the menu opens
        w.button->setFocus();
        QTest::keyClick(w.button, c.key, c.modifiers);
        EXPECT_EQ(w.popups, c.popups) << c.key;
        EXPECT_FALSE(w.button->isDown());
    }
}
