// The port operations the download window relies on: the single-byte send and the two flushes.

#include "Pty.h"
#include "Pump.h"
#include "serial/SerExcept.h"
#include "serial/SerPort.h"
#include "serial/SerTtyDispatcher.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A tty dispatcher whose device takes no output while held, so that the output buffer fills.
class HeldDispatcher : public TSerWin32Dispatcher {
public:
    using TSerWin32Dispatcher::TSerWin32Dispatcher;
    std::atomic<bool> hold {true};

protected:
    int32_t WriteDevice(const iovec *parts, int count) override
    {
        return hold ? 0 : TSerWin32Dispatcher::WriteDevice(parts, count);
    }
    void WaitDeviceWritable() override { std::this_thread::sleep_for(2ms); }
};

class HeldPort : public TSerCustomComPort {
public:
    HeldDispatcher *device = nullptr;

protected:
    std::unique_ptr<TSerBaseDispatcher> CreateDispatcher() override
    {
        auto dispatcher = std::make_unique<HeldDispatcher>(this);
        device = dispatcher.get();
        return dispatcher;
    }
};

class PortOpsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("SERIAL_COM9", pty.devicePath().c_str(), 1); }
    void TearDown() override { unsetenv("SERIAL_COM9"); }
    testsupport::Pty pty;
};

} // namespace

TEST_F(PortOpsTest, PutCharOnAClosedPortOpensItWithItsSettingsAndSends)
{
    TSerCustomComPort port;
    port.SetComNumber(9);
    port.SetBaud(38400);
    port.PutChar('A');
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
    EXPECT_EQ(pty.read(1s, 1), "A");
    termios line {};
    ASSERT_EQ(tcgetattr(pty.masterFd(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), speed_t(B38400));
}

TEST_F(PortOpsTest, PutCharNeedsOneFreeByteAndQueuesNothingWithout)
{
    HeldPort port;
    port.SetComNumber(9);
    port.SetOutSize(16);
    port.SetOpen(true);
    port.PutString(std::string(15, 'x'));
    port.PutChar('y');   // the last free byte
    EXPECT_EQ(port.OutBuffUsed(), 16u);
    EXPECT_THROW(port.PutChar('z'), EOutputBufferTooSmall);
    EXPECT_EQ(port.OutBuffUsed(), 16u);
    EXPECT_EQ(port.device->PutChar('z'), -3006);
    port.device->hold = false;
    EXPECT_EQ(pty.read(1s, 16), std::string(15, 'x') + "y");
}

TEST_F(PortOpsTest, TheFlushesDiscardWhatIsQueuedAndWhatCameIn)
{
    HeldPort port;
    port.SetComNumber(9);
    port.SetOpen(true);
    port.PutString("queued");
    pty.write("received");
    ASSERT_TRUE(PumpUntil([&] { return port.InBuffUsed() == 8; }, 1s));
    port.FlushOutBuffer();
    port.FlushInBuffer();
    EXPECT_EQ(port.OutBuffUsed(), 0u);
    EXPECT_FALSE(port.CharReady());
    port.device->hold = false;
    port.PutChar('!');
    EXPECT_EQ(pty.read(300ms), "!");
}

TEST_F(PortOpsTest, DuringAClosingASendFailsSayingSoAndTheFlushesDoNothing)
{
    TSerCustomComPort port;
    port.SetComNumber(9);
    port.SetOpen(true);
    bool calledThrough = false;
    port.SetOnWaitChar([&](TSerCustomComPort &p, char) {
        p.SetOpen(false);   // inside the string wait the close is deferred
        EXPECT_EQ(p.PortState(), TPortState::PortShuttingDown);
        try {
            p.PutChar('x');
            ADD_FAILURE() << "a byte sent on a closing port";
        } catch (const ECommNotOpen &e) {
            EXPECT_EQ(std::string(e.what()), "ie_NOpen - device not open: COM9, " + pty.devicePath() + " is closing");
        }
        EXPECT_THROW(p.WaitForString("b", 18, true, false), ECommNotOpen);
        p.FlushInBuffer();
        p.FlushOutBuffer();
        calledThrough = true;
    });
    pty.write("a");
    EXPECT_FALSE(port.WaitForString("b", 18, true, false));
    EXPECT_TRUE(calledThrough);
    EXPECT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
    EXPECT_EQ(pty.read(100ms), "");
}
