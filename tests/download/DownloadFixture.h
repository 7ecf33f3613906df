#pragma once
// The download window on a pseudo-terminal (COM3) with the loader simulator at the other end, TARSEL.INI in a
// temporary program folder, and scripted message boxes and file dialogs. The bytes the simulator has not read yet
// count as the port's output queue, as a UART's driver counts the bytes it has not sent: the window's wait for its
// output before a change of line speed lasts until the simulator has them.

#include "FakeTtyDriver.h"
#include "FastTicks.h"
#include "LoaderSim.h"
#include "LoaderSimDriver.h"
#include "Pty.h"
#include "Pump.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "download/TarselSettings.h"
#include "download/DownloadWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>

// Polls on the GUI thread, also inside the window's own waits, and acts once the condition holds.
class WhenReady {
public:
    WhenReady(std::function<bool()> ready, std::function<void()> act) : ready_(std::move(ready)), act_(std::move(act))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (!ready_())
                return;
            timer_.stop();
            act_();
            done = true;
        });
        timer_.start(2);
    }
    bool done = false;

private:
    std::function<bool()> ready_;
    std::function<void()> act_;
    QTimer timer_;
};

// Bytes that look like a program image: no byte value is favoured, and the blocks differ.
inline std::string ProgramImage(size_t size, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = char(random() & 0xFF);
    return bytes;
}

inline QStringList LogOf(const TTRSForm &form) { return form.LogMemo->toPlainText().split('\n'); }

class DownloadFixture : public ::testing::Test {
protected:
    static constexpr int Port = 3;

    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM3", pty.devicePath().c_str(), 1);
        TarselDir = dir.path().string();
        tty.addFarEnd(pty.devicePath(), pty.masterFd());
        driver = std::make_unique<testsupport::LoaderSimDriver>(sim, pty.masterFd());
    }

    void TearDown() override
    {
        form.reset();
        driver.reset();
        TarselDir.clear();
    }

    // TARSEL.INI with the device "Reader" in section [Rdr]: the given keys after the loader settings.
    void writeDevice(const std::string &keys, const std::string &extra = "")
    {
        dir.write("TARSEL.INI", "[General]\r\nTitle=Loader test\r\n[Devices]\r\nReader=Rdr\r\n[Rdr]\r\n" + keys +
                                    "\r\n" + extra);
    }

    // The window for "Reader" on COM3 with the caller's settings, shown.
    TTRSForm &openForm(const std::string &settings = "9600,N,8,1")
    {
        form = std::make_unique<TTRSForm>(nullptr);
        form->SelectDevice("Reader");
        form->SetPort(Port, settings);
        form->show();
        return *form;
    }

    // Connects by the Connect button; true when the window counts as connected.
    bool connect()
    {
        form->ConnBtn->click();
        return form->Loader.Connected;
    }

    std::string status() const { return form->Display->text().toStdString(); }

    // Waits until the port has sent all it queued and the simulator has taken and answered it; false after 10 s.
    bool simCaughtUp()
    {
        return (!form || PumpUntil([this] { return form->ComPort.OutBuffUsed() == 0; }, std::chrono::seconds(10))) &&
               driver->waitIdle();
    }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    testsupport::Pty pty;
    testsupport::FakeTtyDriver tty;
    testsupport::LoaderSim sim;
    std::unique_ptr<testsupport::LoaderSimDriver> driver;
    std::unique_ptr<TTRSForm> form;
};
