#include "serial/SerErrno.h"
#include "serial/SerPortMap.h"
#include "serial/SerTty.h"
#include "serial/SerTtyDispatcher.h"

#include "FakeDispatcher.h"
#include "FakeTtyDriver.h"
#include "ForeignTerminal.h"
#include "Pty.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::string Stty(const std::string &path)
{
    std::string out;
    if (FILE *p = popen(("stty -F " + path + " -a 2>&1").c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

bool HasWord(const std::string &text, const std::string &word)
{
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const bool startOk = at == 0 || text[at - 1] == ' ' || text[at - 1] == '\n' || text[at - 1] == ';';
        const size_t end = at + word.size();
        const bool endOk = end == text.size() || text[end] == ' ' || text[end] == '\n' || text[end] == ';';
        if (startOk && endOk)
            return true;
    }
    return false;
}

struct TtyDispatcherTest : ::testing::Test {
    testsupport::Pty pty;
    TSerWin32Dispatcher d {nullptr};

    TSerOpenParams Params(const std::string &path) const
    {
        TSerOpenParams p;
        p.DeviceName = path;
        return p;
    }
    std::string Receive(size_t count, std::chrono::milliseconds timeout)
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        uint8_t c;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            if (d.GetChar(c) == 0)
                got += char(c);
            else
                std::this_thread::sleep_for(1ms);
        }
        return got;
    }
};

} // namespace

TEST_F(TtyDispatcherTest, BytesTravelBothWaysInOrder)
{
    ASSERT_EQ(d.OpenPort(Params(pty.devicePath())), 0);
    std::string sent;
    for (int i = 0; i < 6000; ++i)
        sent += char(i % 253);
    std::thread peer([&] { pty.write(sent); });
    EXPECT_EQ(Receive(sent.size(), 5s), sent);
    peer.join();

    std::string out;
    for (int i = 0; i < 3000; ++i)
        out += char('a' + i % 26);
    ASSERT_EQ(d.PutBlock(out.data(), 3000), 0);
    EXPECT_EQ(pty.read(5s, out.size()), out);
}

TEST_F(TtyDispatcherTest, LineSettingsReachTheDevice)
{
    ASSERT_EQ(d.OpenPort(Params(pty.devicePath())), 0);
    std::string settings = Stty(pty.devicePath());
    EXPECT_TRUE(HasWord(settings, "speed 19200 baud")) << settings;
    EXPECT_TRUE(HasWord(settings, "-icanon")) << settings;
    EXPECT_TRUE(HasWord(settings, "-echo")) << settings;
    EXPECT_TRUE(HasWord(settings, "-cstopb")) << settings;

    ASSERT_EQ(d.SetLine(9600, 0, 2, 8), 0);
    ASSERT_EQ(d.SetHWFlowOptions(3686, 409, 8), 0);
    ASSERT_EQ(d.SetSWFlowOptions(3072, 1024, 1), 0);
    settings = Stty(pty.devicePath());
    EXPECT_TRUE(HasWord(settings, "speed 9600 baud")) << settings;
    EXPECT_TRUE(HasWord(settings, "cstopb")) << settings;
    EXPECT_TRUE(HasWord(settings, "crtscts")) << settings;
    EXPECT_TRUE(HasWord(settings, "ixon")) << settings;

    // A rate outside the standard set; stty cannot show it, the kernel's own settings do.
    ASSERT_EQ(d.SetLine(14400, KeepLine::Parity, KeepLine::StopBits, KeepLine::DataBits), 0);
    TSerLineSettings kernel;
    ASSERT_EQ(TtyReadSettings(pty.masterFd(), kernel), 0);
    EXPECT_EQ(kernel.BaudRate, 14400u);

    // The device forces 8 bits and no parity; the dispatcher keeps what it was told.
    ASSERT_EQ(d.SetLine(KeepLine::Baud, 2, 1, 7), 0);
    int32_t baud;
    uint8_t parity;
    uint16_t data, stop;
    d.GetLine(baud, parity, data, stop);
    EXPECT_EQ(baud, 14400);
    EXPECT_EQ(parity, 2);
    EXPECT_EQ(data, 7);
    EXPECT_EQ(stop, 1);
}

TEST_F(TtyDispatcherTest, SecondOpenOfTheSamePortIsRefusedAsInUse)
{
    ASSERT_EQ(d.OpenPort(Params(pty.devicePath())), 0);
    TSerWin32Dispatcher second(nullptr);
    EXPECT_EQ(second.OpenPort(Params(pty.devicePath())), -int32_t(SerError::AccessDenied));
    d.ClosePort();
    EXPECT_EQ(second.OpenPort(Params(pty.devicePath())), 0);
}

TEST_F(TtyDispatcherTest, MissingDeviceIsNotFound)
{
    const auto fds = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    EXPECT_EQ(d.OpenPort(Params("/nonexistent/ttyX")), -int32_t(SerError::FileNotFound));
    EXPECT_EQ(d.OpenPort(Params("/dev/null")), -int32_t(SerError::FileNotFound));   // not a tty
    EXPECT_EQ(d.OpenPort(Params("")), -int32_t(SerError::FileNotFound));
    EXPECT_FALSE(d.DeviceOpen());
    EXPECT_FALSE(d.ThreadsStarted());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}), fds);
    // Nothing of the failed attempts is left behind: the next open works.
    EXPECT_EQ(d.OpenPort(Params(pty.devicePath())), 0);
}

TEST_F(TtyDispatcherTest, DeviceWithoutPermissionGivesPermissionDenied)
{
    ASSERT_EQ(chmod(pty.devicePath().c_str(), 0600), 0);
    const uid_t nobody = 65534;
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(seteuid(nobody), 0);
    } else {
        ASSERT_EQ(chmod(pty.devicePath().c_str(), 0), 0);
    }
    const int32_t result = d.OpenPort(Params(pty.devicePath()));
    if (root) {
        ASSERT_EQ(seteuid(0), 0);
    }
    EXPECT_EQ(result, -int32_t(SerError::PermissionDenied));
    EXPECT_EQ(SerSystemMessage(SerError::PermissionDenied), "Permission denied");
}

TEST(RealDevices, EveryDeviceOpensButAnEmptyUartSlot)
{
    using Kind = testsupport::FakeTtyDriver::Kind;
    testsupport::FakeTtyDriver driver;
    const std::pair<Kind, int32_t> cases[] = {
        {Kind::UsbSerial, 0}, {Kind::CdcAcm, 0}, {Kind::Uart, 0}, {Kind::EmptySlot, -int32_t(SerError::FileNotFound)}};
    for (const auto &[kind, expected] : cases) {
        testsupport::Pty pty;
        driver.add(pty.devicePath(), kind);
        TSerWin32Dispatcher d(nullptr);
        TSerOpenParams params;
        params.DeviceName = pty.devicePath();
        EXPECT_EQ(d.OpenPort(params), expected) << int(kind);
    }
}

TEST(RealDevices, AFormatTheDriverDropsIsRefusedAndTheOldOneStays)
{
    using Kind = testsupport::FakeTtyDriver::Kind;
    testsupport::FakeTtyDriver driver;
    struct Case {
        bool added;
        Kind kind;
        uint8_t parity;
        uint16_t dataBits;
        int32_t expected;
    };
    const Case cases[] = {
        {true, Kind::UsbSerial, 3, 8, -2004},   // mark parity
        {true, Kind::UsbSerial, 4, 7, -2004},   // space parity
        {true, Kind::UsbSerial, 0, 5, -2003},
        {true, Kind::UsbSerial, 0, 6, -2003},
        {true, Kind::UsbSerial, 2, 7, 0},
        {true, Kind::CdcAcm, 3, 5, 0},
        {true, Kind::Uart, 4, 6, 0},
        {false, Kind::Uart, 3, 5, 0},   // a pseudo-terminal keeps what it can, as it always did
    };
    for (const Case &c : cases) {
        testsupport::Pty pty;
        if (c.added)
            driver.add(pty.devicePath(), c.kind);
        TSerWin32Dispatcher d(nullptr);
        TSerOpenParams params;
        params.DeviceName = pty.devicePath();
        params.Baud = 9600;
        ASSERT_EQ(d.OpenPort(params), 0);
        EXPECT_EQ(d.SetLine(KeepLine::Baud, c.parity, 1, c.dataBits), c.expected) << int(c.kind) << int(c.parity);
        int32_t baud;
        uint8_t parity;
        uint16_t data, stop;
        d.GetLine(baud, parity, data, stop);
        EXPECT_EQ(parity, c.expected ? 0 : c.parity);
        EXPECT_EQ(data, c.expected ? 8 : c.dataBits);
        TSerLineSettings device;
        ASSERT_EQ(driver.ReadSettings(pty.masterFd(), device), 0);
        EXPECT_EQ(device.BaudRate, 9600u);
    }
}

TEST(RealDevices, ARateTheDriverRoundsFarOffIsRefusedAndTheOldOneStays)
{
    testsupport::FakeTtyDriver driver;
    driver.keepRate(250000, 230400);   // 8 % off: the reader would see garbage
    driver.keepRate(31250, 31200);     // 0.2 % off: every bit still lands
    driver.keepRate(57600, 57600 + 57600 * 21 / 1000);
    driver.keepRate(38400, 38400 - 38400 * 19 / 1000);
    const std::pair<uint32_t, int32_t> cases[] = {
        {250000, SerCode::BaudRateRefused}, {31250, 0}, {57600, SerCode::BaudRateRefused}, {38400, 0}, {14400, 0}};
    for (const auto &[rate, expected] : cases) {
        testsupport::Pty pty;
        driver.add(pty.devicePath(), testsupport::FakeTtyDriver::Kind::UsbSerial);
        TSerWin32Dispatcher d(nullptr);
        TSerOpenParams params;
        params.DeviceName = pty.devicePath();
        params.Baud = 9600;
        ASSERT_EQ(d.OpenPort(params), 0);
        EXPECT_EQ(d.SetLine(int32_t(rate), KeepLine::Parity, KeepLine::StopBits, KeepLine::DataBits), expected) << rate;
        int32_t baud;
        uint8_t parity;
        uint16_t data, stop;
        d.GetLine(baud, parity, data, stop);
        EXPECT_EQ(baud, expected ? 9600 : int32_t(rate));
        EXPECT_EQ(TSerDispatcherProbe::LastBaud(d), expected ? 9600 : rate) << rate;
        TSerLineSettings device;
        ASSERT_EQ(driver.ReadSettings(pty.masterFd(), device), 0);
        if (expected) {
            EXPECT_EQ(device.BaudRate, 9600u) << "the old rate is put back";
        }
    }
}

TEST(PortPresence, SysfsTellsWhereItCanAndNoLineChanges)
{
    testsupport::FakeTtyDriver driver;
    struct Case {
        const char *driverName;   // nullptr: the node has no device in sysfs
        const char *uartType;     // nullptr: no type attribute
        bool present;
    };
    const Case cases[] = {
        {"ftdi_sio", nullptr, true},
        {"cdc_acm", nullptr, true},
        {"port", "4", true},
        {"serial8250", "0", false},     // an empty slot, although the node opens
        {"serial8250", nullptr, true},  // the type is not told: not taken for an empty slot
        {nullptr, nullptr, true},
    };
    for (const Case &c : cases) {
        testsupport::TempDir sysfs;
        driver.setSysfsRoot(sysfs.path().string());
        testsupport::Pty pty;
        testsupport::ForeignTerminal terminal(pty.devicePath());
        const testsupport::TtyLineState before = testsupport::ReadLineState(pty.devicePath());
        if (c.driverName) {
            struct stat node {};
            ASSERT_EQ(stat(pty.devicePath().c_str(), &node), 0);
            const std::filesystem::path entry = sysfs.path() / "dev" / "char" /
                (std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev)));
            std::filesystem::create_directories(entry / "device");
            std::filesystem::create_symlink(std::string("../../bus/drivers/") + c.driverName, entry / "device" / "driver");
            if (c.uartType)
                sysfs.write((entry / "type").lexically_relative(sysfs.path()).string(), std::string(c.uartType) + "\n");
        }
        EXPECT_EQ(SerTtyDriver().NodePresent(pty.devicePath()), c.present) << (c.driverName ? c.driverName : "none");
        EXPECT_TRUE(testsupport::ReadLineState(pty.devicePath()) == before) << (c.driverName ? c.driverName : "none");
    }
    for (const char *absent : {"", "/nonexistent/ttyX", "/dev/null"})
        EXPECT_FALSE(SerTtyDriver().NodePresent(absent)) << absent;
}

TEST(LineTranslation, DataBitsParityAndStopBits)
{
    struct Case {
        uint8_t size, parity, stop;
        tcflag_t expected, absent;
    };
    const Case cases[] = {
        {8, 0, 0, CS8, PARENB | CSTOPB | CMSPAR},
        {7, 1, 2, CS7 | PARENB | PARODD | CSTOPB, CMSPAR},
        {7, 2, 0, CS7 | PARENB, PARODD | CSTOPB},
        {8, 3, 0, CS8 | PARENB | PARODD | CMSPAR, CSTOPB},
        {6, 4, 0, CS6 | PARENB | CMSPAR, PARODD},
        {5, 0, 1, CS5 | CSTOPB, PARENB},
    };
    for (const Case &c : cases) {
        TSerLineSettings s;
        s.ByteSize = c.size;
        s.Parity = c.parity;
        s.StopBits = c.stop;
        const uint32_t flags = TtyControlFlags(s);
        EXPECT_EQ(flags & CSIZE, c.expected & CSIZE) << int(c.size);
        EXPECT_EQ(flags & c.expected & ~CSIZE, c.expected & ~CSIZE) << int(c.size);
        EXPECT_EQ(flags & c.absent, 0u) << int(c.size);
        EXPECT_TRUE(flags & CLOCAL && flags & CREAD);
    }
    TSerLineSettings flow;
    flow.InX = true;
    EXPECT_TRUE(TtyInputFlags(flow) & IXOFF);
    EXPECT_FALSE(TtyInputFlags(flow) & (IXON | ICRNL));
}

TEST(PortMap, EnvironmentAndDefaults)
{
    setenv("SERIAL_COM7", "/tmp/some-tty", 1);
    EXPECT_EQ(SerDevicePath(7), "/tmp/some-tty");
    unsetenv("SERIAL_COM7");
    setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
    EXPECT_EQ(SerDevicePath(1), "");
    setenv("SERIAL_NO_DEFAULT_PORTS", "0", 1);
    EXPECT_EQ(SerDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(SerDevicePath(16), "/dev/ttyS15");
    EXPECT_EQ(SerDevicePath(17), "/dev/ttyUSB0");
    EXPECT_EQ(SerDevicePath(48), "/dev/ttyACM15");
    EXPECT_EQ(SerDevicePath(49), "");
    EXPECT_EQ(SerDevicePath(0), "");
}
