// The loader simulator answers as the reader side of the loader protocols does.

#include "LoaderSim.h"
#include "LoaderSimDriver.h"
#include "Pty.h"

#include <fcntl.h>
#include <termios.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using testsupport::LoaderKind;
using testsupport::LoaderSim;
using testsupport::SimClock;

namespace {

std::string Sum(const std::string &block, int extra = 0)
{
    uint32_t sum = extra;
    for (char c : block)
        sum += uint8_t(c);
    return {char(sum & 0xFF), char(sum >> 8 & 0xFF), char(sum >> 16 & 0xFF)};
}

std::string Block(char seed)
{
    std::string block(LoaderSim::BlockSize, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = char(seed + i * 7);
    return block;
}

} // namespace

TEST(LoaderSimCore, TheResidentProgramQuitsIntoTheLoaderFromHostModeOnly)
{
    LoaderSim sim;
    sim.setResidentBaud(9600);
    sim.setLoaderBaud(19200);
    const auto t = SimClock::now();
    EXPECT_EQ(sim.onBytes("\x1B[Q", 9600, t), "");   // not in host mode: ignored
    EXPECT_EQ(sim.onBytes("\x1B[C", 19200, t), "");  // at the wrong speed: noise
    EXPECT_EQ(sim.onBytes("\x1B[", 9600, t), "");
    EXPECT_EQ(sim.onBytes("C", 9600, t), "\x1BH\r\n");
    EXPECT_EQ(sim.onBytes("\x1B[Q", 9600, t), "");
    EXPECT_EQ(sim.state(), testsupport::LoaderState::Loader);
    EXPECT_EQ(sim.onBytes("\r", 9600, t), "");        // the loader listens at its own speed
    EXPECT_EQ(sim.onBytes("\r", 19200, t), ">\r\n");
    EXPECT_EQ(sim.onBytes("V\r", 19200, t), "RES V1.00\r\n");
    EXPECT_TRUE(sim.expectSequence({LoaderKind::Quit, LoaderKind::Enter, LoaderKind::Quit, LoaderKind::Handshake,
                                    LoaderKind::Version}));
    EXPECT_EQ(sim.count(LoaderKind::Noise), 2);
}

TEST(LoaderSimCore, EchoStuckAndRefusedResidentPrograms)
{
    const auto t = SimClock::now();
    LoaderSim echo;
    echo.setStartInLoader(true);
    echo.setEcho(true);
    EXPECT_EQ(echo.onBytes("X\r", 0, t), "X\r\r\nERASED\r\n");

    LoaderSim stuck;
    stuck.setResidentStuck(true);
    EXPECT_EQ(stuck.onBytes("\x1B[C", 0, t), "");
    EXPECT_EQ(stuck.onBytes("\x1B[A", 0, t), "\x1BX\r\n");
    EXPECT_EQ(stuck.onBytes("\x1B[C", 0, t), "\x1BH\r\n");

    LoaderSim refused;
    refused.setHostModeRefused(true);
    EXPECT_EQ(refused.onBytes("\x1B[C\x1B[A\x1B[C", 0, t), "\x1BX\r\n");
}

TEST(LoaderSimCore, BlocksAreConfirmedByTheirSumsAndALoneEndByteEndsTheTransfer)
{
    LoaderSim sim;
    sim.setStartInLoader(true);
    sim.setBadSumAt(1);
    const auto t = SimClock::now();
    const std::string first = Block(1), second = Block(2);
    EXPECT_EQ(sim.onBytes("L" + first.substr(0, 100), 0, t), "");
    EXPECT_EQ(sim.partialBlock(), 100u);
    EXPECT_EQ(sim.onBytes(first.substr(100) + second, 0, t), Sum(first) + Sum(second, 1));
    EXPECT_EQ(sim.onBytes("E", 0, t), "");
    ASSERT_TRUE(sim.nextDeadline().has_value());
    EXPECT_EQ(sim.onIdle(t + 100ms), "");
    EXPECT_EQ(sim.onIdle(t + 300ms), "OK\r\n");
    EXPECT_EQ(sim.blocks(), (std::vector<std::string> {first, second}));
    EXPECT_TRUE(sim.expectSequence({LoaderKind::Load, LoaderKind::Block, LoaderKind::Block, LoaderKind::End}));
    EXPECT_EQ(sim.state(), testsupport::LoaderState::Loader);
}

TEST(LoaderSimCore, ALoaderThatGivesUpOrIsSilentConfirmsNothing)
{
    const auto t = SimClock::now();
    LoaderSim gaveUp;
    gaveUp.setStartInLoader(true);
    gaveUp.setAbortAt(0);
    EXPECT_EQ(gaveUp.onBytes("L" + Block(3) + "W", 0, t), "");
    EXPECT_EQ(gaveUp.onIdle(t + 300ms), "ABORTED\r\n");

    LoaderSim silent;
    silent.setSilent(true);
    EXPECT_EQ(silent.onBytes("\x1B[C", 0, t), "");
    EXPECT_EQ(silent.count(LoaderKind::Enter), 1);

    LoaderSim limited;
    limited.setStartInLoader(true);
    limited.setHandshakeAnswer("MTR\r\n");
    limited.setHandshakeLimit(1);
    EXPECT_EQ(limited.onBytes("\r", 0, t), "MTR\r\n");
    EXPECT_EQ(limited.onBytes("BH", 0, t), "");
    EXPECT_EQ(limited.loaderBaud(), 38400);
    EXPECT_EQ(limited.onBytes("\r", 38400, t), "");
    EXPECT_EQ(limited.count(LoaderKind::Handshake), 2);
}

TEST(LoaderSimPty, TheDriverReportsTheHostsLineSpeed)
{
    testsupport::Pty pty;
    LoaderSim sim;
    sim.setStartInLoader(true);
    sim.setLoaderBaud(57600);
    testsupport::LoaderSimDriver driver(sim, pty.masterFd());
    const int host = open(pty.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(host, 0);
    termios line {};
    tcgetattr(host, &line);
    cfmakeraw(&line);
    for (speed_t speed : {B9600, B57600}) {
        cfsetspeed(&line, speed);
        tcsetattr(host, TCSANOW, &line);
        ASSERT_EQ(write(host, "\r", 1), 1);
        ASSERT_TRUE(driver.waitIdle());   // taken before the line changes
    }
    char reply[8] = {};
    pollfd ready {host, POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 1000), 1);
    ASSERT_EQ(read(host, reply, 3), 3);
    EXPECT_EQ(std::string(reply), ">\r\n");
    const std::vector<testsupport::LoaderItem> items = sim.items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, LoaderKind::Noise);
    EXPECT_EQ(items[0].baud, 9600);
    EXPECT_EQ(items[1].kind, LoaderKind::Handshake);
    EXPECT_EQ(items[1].baud, 57600);
    close(host);
}
