#include "serial/SerSelCom.h"

#include "Pty.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace {

struct SelectPortTest : ::testing::Test {
    testsupport::Pty com3, com7, busy;
    int busyFd = -1;

    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM3", com3.devicePath().c_str(), 1);
        setenv("SERIAL_COM7", com7.devicePath().c_str(), 1);
        setenv("SERIAL_COM12", "/nonexistent/tty", 1);
        setenv("SERIAL_COM13", "/dev/null", 1);   // not a tty
    }
    void TearDown() override
    {
        for (const char *name : {"SERIAL_COM3", "SERIAL_COM7", "SERIAL_COM9", "SERIAL_COM12", "SERIAL_COM13"})
            unsetenv(name);
        if (busyFd >= 0)
            close(busyFd);
    }
    static QStringList Entries(const TComSelectForm &form)
    {
        QStringList entries;
        for (int i = 0; i < form.PortsComboBox->count(); ++i)
            entries << form.PortsComboBox->itemText(i);
        return entries;
    }
};

} // namespace

TEST_F(SelectPortTest, ListsExactlyThePresentPortsAndReturnsTheChoice)
{
    TComSelectForm form;
    EXPECT_EQ(form.windowTitle(), "Select Port");
    EXPECT_EQ(Entries(form), QStringList({"COM3", "COM7"}));
    EXPECT_EQ(form.PortsComboBox->currentIndex(), 0);
    EXPECT_EQ(form.SelectedComNumber(), 3);
    QTimer::singleShot(0, [&] {
        form.PortsComboBox->setCurrentIndex(1);
        form.OkBtn->click();
    });
    EXPECT_EQ(form.exec(), TComSelectForm::ResultOk);
    EXPECT_EQ(form.SelectedComNumber(), 7);
}

TEST_F(SelectPortTest, PortInUseIsListed)
{
    setenv("SERIAL_COM9", busy.devicePath().c_str(), 1);
    busyFd = open(busy.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(busyFd, 0);
    ASSERT_EQ(flock(busyFd, LOCK_EX | LOCK_NB), 0);
    TComSelectForm form;
    EXPECT_EQ(Entries(form), QStringList({"COM3", "COM7", "COM9"}));
}

TEST_F(SelectPortTest, CancelAbortsAndAnEmptyListCannotBeConfirmed)
{
    {
        TComSelectForm form;
        QTimer::singleShot(0, [&] { form.AbortBtn->click(); });
        EXPECT_EQ(form.exec(), TComSelectForm::ResultAbort);
    }
    unsetenv("SERIAL_COM3");
    unsetenv("SERIAL_COM7");
    TComSelectForm empty;
    EXPECT_EQ(empty.PortsComboBox->count(), 0);
    EXPECT_FALSE(empty.OkBtn->isEnabled());
    EXPECT_EQ(empty.SelectedComNumber(), 0);
    QTimer::singleShot(0, [&] { empty.OkBtn->click(); });   // a disabled button does nothing
    QTimer::singleShot(50, [&] { empty.AbortBtn->click(); });
    EXPECT_EQ(empty.exec(), TComSelectForm::ResultAbort);
}

TEST(PortAvailable, NumberZeroAndUnmappedNumbersAreAbsent)
{
    setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
    EXPECT_FALSE(TComSelectForm::IsPortAvailable(0));
    EXPECT_FALSE(TComSelectForm::IsPortAvailable(51));
    EXPECT_FALSE(TComSelectForm::IsPortAvailable(5));
}

#include "serial/SerComPort.h"
#include "serial/SerExcept.h"

TEST_F(SelectPortTest, PortWithoutNumberAsksWithTheDialogAndOpensTheChoice)
{
    TSerComPort port;
    QTimer::singleShot(0, [] {
        auto *form = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        auto *combo = form->findChild<QComboBox *>("PortsComboBox");
        combo->setCurrentIndex(combo->findText("COM7"));
        form->findChild<QPushButton *>("OkBtn")->click();
    });
    port.SetOpen(true);
    EXPECT_EQ(port.ComNumber(), 7);
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
    port.PutString("via COM7");
    EXPECT_EQ(com7.read(std::chrono::seconds(2), 8), "via COM7");
}

TEST_F(SelectPortTest, CancelledDialogLeavesNoPortSelected)
{
    TSerComPort port;
    QTimer::singleShot(0, [] {
        auto *form = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        form->findChild<QPushButton *>("AbortBtn")->click();
    });
    EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
    EXPECT_EQ(port.ComNumber(), 0);
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
}
