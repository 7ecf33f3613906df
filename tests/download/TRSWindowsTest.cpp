#include "DownloadFixture.h"

#include "download/ProgressWindow.h"
#include "download/DevicePicker.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

int hookCalls = 0;
void CountingHook() { ++hookCalls; }

class ProgressTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        HideProgress();
        AbortHook = nullptr;
    }
    QWidget owner;
};

} // namespace

TEST_F(ProgressTest, TheWindowShowsTheCaptionCutAndAbortOnlyWithAHook)
{
    const std::string caption(100, 'c');
    ShowProgress(&owner, caption, 0, 100);
    ASSERT_NE(ProgForm, nullptr);
    EXPECT_TRUE(ProgForm->isVisible());
    EXPECT_EQ(ProgForm->parentWidget(), &owner);
    EXPECT_EQ(ProgForm->windowTitle().toStdString(), caption.substr(0, 80));
    EXPECT_FALSE(ProgForm->AbortBtn->isEnabled());
    EXPECT_FALSE(ProgForm->windowFlags() & Qt::WindowCloseButtonHint);
    ProgForm->close();
    EXPECT_TRUE(ProgForm->isVisible());   // the user cannot close it

    AbortHook = &CountingHook;
    ShowProgress(&owner, "Downloading a.bin...", 0, 100);   // replaces the first one
    EXPECT_TRUE(ProgForm->AbortBtn->isEnabled());
    HideProgress();
    EXPECT_EQ(ProgForm, nullptr);
    HideProgress();   // nothing shown: nothing happens
}

TEST_F(ProgressTest, ProgressShowsTheBytesAndTheRoundedPercentage)
{
    ShowProgress(&owner, "x", 0, 100);
    const std::tuple<int64_t, int64_t, const char *, int> cases[] = {
        {17408, 131072, "17408/131072", 13}, {65536 + 1024, 131072, "66560/131072", 51},
        {131072, 131072, "131072/131072", 100}, {1, 3, "1/3", 33}, {5, 0, "5/0", 33},
    };
    for (const auto &[done, all, label, percent] : cases) {
        ReportProgress(done, all);
        EXPECT_EQ(ProgForm->TitLabel->text().toStdString(), label);
        EXPECT_EQ(ProgForm->Bar->value(), percent) << label;   // a total of 0 leaves the bar
    }
}

TEST_F(ProgressTest, AbortCallsTheHookOnce)
{
    hookCalls = 0;
    AbortHook = &CountingHook;
    ShowProgress(&owner, "Downloading a.bin...", 0, 100);
    ProgForm->AbortBtn->click();
    ProgForm->AbortBtn->click();
    EXPECT_EQ(hookCalls, 1);
    EXPECT_FALSE(ProgForm->AbortBtn->isEnabled());
    EXPECT_EQ(ProgForm->windowTitle(), "Abort received, please wait...");

    AbortHook = nullptr;
    ProgForm->AbortBtnClick();   // without a hook nothing happens
    EXPECT_EQ(hookCalls, 1);
}

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override { TarselDir = dir.path().string(); }
    void TearDown() override { TarselDir.clear(); }
    testsupport::TempDir dir;
};

TEST_F(PickerTest, TheDevicesAreListedInFileOrderWithTheFirstSelected)
{
    dir.write("TARSEL.INI", "[Devices]\r\nZeta=Z\r\nAlpha=A\r\nMid=M\r\n[Other]\r\nNo=1\r\n");
    TDevForm picker(nullptr);
    EXPECT_EQ(picker.windowTitle(), "Select a device");
    ASSERT_EQ(picker.ListBox->count(), 3);
    EXPECT_EQ(picker.ListBox->item(0)->text(), "Zeta");
    EXPECT_EQ(picker.ListBox->item(1)->text(), "Alpha");
    EXPECT_EQ(picker.ListBox->item(2)->text(), "Mid");
    EXPECT_EQ(picker.ListBox->currentRow(), 0);
    EXPECT_TRUE(picker.OkBtn->isDefault());
}

TEST_F(PickerTest, PickDeviceAnswersTheChoiceOrNothing)
{
    dir.write("TARSEL.INI", "[Devices]\r\nZeta=Z\r\nAlpha=A\r\n");
    struct Row {
        const char *how;
        std::function<void(TDevForm &)> act;
        std::string answer;
    };
    const Row rows[] = {
        {"OK on the first", [](TDevForm &p) { p.OkBtn->click(); }, "Zeta"},
        {"OK on the second", [](TDevForm &p) { p.ListBox->setCurrentRow(1); p.OkBtn->click(); }, "Alpha"},
        {"double click on the second",
         [](TDevForm &p) {
             p.ListBox->setCurrentRow(1);
             const QPoint at = p.ListBox->visualItemRect(p.ListBox->item(1)).center();
             QMouseEvent dbl(QEvent::MouseButtonDblClick, at, p.ListBox->viewport()->mapToGlobal(at), Qt::LeftButton,
                             Qt::LeftButton, Qt::NoModifier);
             QApplication::sendEvent(p.ListBox->viewport(), &dbl);
         },
         "Alpha"},
        {"Cancel", [](TDevForm &p) { p.BitBtn1->click(); }, ""},
        {"close box", [](TDevForm &p) { p.close(); }, ""},
        {"Escape",
         [](TDevForm &p) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&p, &escape);
         },
         ""},
    };
    for (const Row &row : rows) {
        WhenReady act([] { return qobject_cast<TDevForm *>(QApplication::activeModalWidget()) != nullptr; },
                      [&] { row.act(*qobject_cast<TDevForm *>(QApplication::activeModalWidget())); });
        EXPECT_EQ(PickDevice(nullptr), row.answer) << row.how;
        EXPECT_TRUE(act.done) << row.how;
    }
}

TEST_F(PickerTest, TheChosenDeviceStaysSelectedWhateverTheClick)
{
    dir.write("TARSEL.INI", "[Devices]\r\nZeta=Z\r\nAlpha=A\r\n");
    const std::pair<const char *, Qt::KeyboardModifiers> clicks[] = {
        {"beside the entries", Qt::NoModifier},
        {"on the chosen entry with Ctrl", Qt::ControlModifier},
    };
    for (const auto &[how, modifiers] : clicks) {
        bool selected = false;
        WhenReady act([] { return qobject_cast<TDevForm *>(QApplication::activeModalWidget()) != nullptr; }, [&] {
            TDevForm &p = *qobject_cast<TDevForm *>(QApplication::activeModalWidget());
            QWidget *list = p.ListBox->viewport();
            const QPoint second = p.ListBox->visualItemRect(p.ListBox->item(1)).center();
            QTest::mouseClick(list, Qt::LeftButton, {}, second);
            QTest::mouseClick(list, Qt::LeftButton, modifiers,
                              modifiers == Qt::NoModifier ? QPoint(5, list->height() - 5) : second);
            selected = p.ListBox->item(1)->isSelected();
            p.OkBtn->click();
        });
        EXPECT_EQ(PickDevice(nullptr), "Alpha") << how;
        EXPECT_TRUE(selected) << how;
    }
}

TEST_F(PickerTest, AnEmptyListAnswersNothingEvenOnADoubleClick)
{
    TDevForm picker(nullptr);   // no TARSEL.INI
    EXPECT_EQ(picker.ListBox->count(), 0);
    WhenReady act([&] { return picker.isVisible(); }, [&] {
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), picker.ListBox->viewport()->mapToGlobal(QPointF(5, 5)),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(picker.ListBox->viewport(), &dbl);
    });
    EXPECT_EQ(picker.exec(), QDialog::Accepted);
    EXPECT_EQ(picker.SelectedDevice.str(), "");
}
