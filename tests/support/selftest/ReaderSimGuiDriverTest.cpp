// The event-loop driver, and that both drivers can be destroyed while replies are still pending.

#include "HostEnd.h"
#include "Pty.h"
#include "ReaderSim.h"
#include "ReaderSimGuiDriver.h"
#include "ReaderSimThreadDriver.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace testsupport {
namespace {

const std::string kEnter = "\x1b[C", kIdentify = "\x1b[E", kH = "\x1bH\r\n";

class ReaderSimGuiDriverTest : public ::testing::Test {
protected:
    static void pump() { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

    int argc = 1;
    char name[16] = "selftest";
    char *argv[2] = {name, nullptr};
    QCoreApplication app {argc, argv};
    Pty pty;
    ReaderSim sim;
    HostEnd host {pty.devicePath(), pump};
};

TEST_F(ReaderSimGuiDriverTest, AnswersWhileEventsArePumped)
{
    ReaderSimGuiDriver driver(sim, pty.masterFd());
    sim.setReplyLatency(50ms);
    EXPECT_EQ(host.ask(kEnter, kH), kH);
    host.send(kIdentify);
    EXPECT_EQ(host.read(300ms), "M100 V1.2");
    driver.send("hi\r\n");
    EXPECT_EQ(host.readUntil("\r\n", 1000ms), "hi\r\n");
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Identify}));
}

TEST_F(ReaderSimGuiDriverTest, DestroyedDriversSendNothingMore)
{
    sim.setReplyLatency(200ms);
    {
        ReaderSimGuiDriver driver(sim, pty.masterFd());
        host.send(kEnter);
        while (sim.count(SimKind::Enter) == 0)
            pump();
    }
    {
        ReaderSimThreadDriver driver(sim, pty.masterFd());
        host.send(kEnter);
        while (sim.count(SimKind::Enter) < 2)
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(host.read(500ms), "");
    EXPECT_EQ(sim.sentBytes(), "");
}

} // namespace
} // namespace testsupport
