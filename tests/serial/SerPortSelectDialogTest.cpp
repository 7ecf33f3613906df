#include "serial/SerPortSelectDialog.h"

#include "FakeTtyDriver.h"
#include "Pty.h"
#include "TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
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

TEST_F(SelectPortTest, AdaptersAcmDevicesAndUartsAreListedWithTheirDevice)
{
    using Kind = testsupport::FakeTtyDriver::Kind;
    testsupport::FakeTtyDriver driver;
    testsupport::TempDir byId;
    driver.setStableNameFolder(byId.path().string());
    testsupport::Pty usb, acm, uart, empty;
    const std::pair<testsupport::Pty *, Kind> nodes[] = {
        {&usb, Kind::UsbSerial}, {&acm, Kind::CdcAcm}, {&uart, Kind::Uart}, {&empty, Kind::EmptySlot}};
    int number = 17;
    for (const auto &[pty, kind] : nodes) {
        driver.add(pty->devicePath(), kind);
        setenv(("SERIAL_COM" + std::to_string(number++)).c_str(), pty->devicePath().c_str(), 1);
    }
    std::filesystem::create_symlink(usb.devicePath(), byId.path() / "usb-Maker_Serial_A1-if00-port0");
    unsetenv("SERIAL_COM7");

    TComSelectForm form;
    for (int n = 17; n <= 20; ++n)
        unsetenv(("SERIAL_COM" + std::to_string(n)).c_str());
    EXPECT_EQ(Entries(form), QStringList({"COM3", "COM17", "COM18", "COM19"}));
    const QString usbDevice = QString::fromStdString(usb.devicePath()) + "\nusb-Maker_Serial_A1-if00-port0";
    EXPECT_EQ(form.PortsComboBox->itemData(1, Qt::ToolTipRole).toString(), usbDevice);
    EXPECT_EQ(form.PortsComboBox->itemData(2, Qt::ToolTipRole).toString(), QString::fromStdString(acm.devicePath()));
    EXPECT_EQ(form.DeviceLabel->text(), QString::fromStdString(com3.devicePath()));
    form.PortsComboBox->setCurrentIndex(1);
    EXPECT_EQ(form.DeviceLabel->text(), usbDevice);
    EXPECT_EQ(form.SelectedComNumber(), 17);
    form.show();
    form.grab().save(QString(CORVANE_ARTIFACT_DIR) + "/select-port.png");
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
