#include "serial/SerExcept.h"
#include "serial/SerLockFile.h"
#include "serial/SerPort.h"

#include "PtyPortTest.h"
#include "Pump.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

using namespace std::chrono_literals;

namespace {

// A process that lives until the object goes, or one that has already ended.
class OtherProcess {
public:
    explicit OtherProcess(bool alive)
    {
        pid_ = fork();
        if (pid_ == 0) {
            if (alive)
                for (;;)
                    pause();
            _exit(0);
        }
        if (!alive) {
            waitpid(pid_, nullptr, 0);
            reaped_ = true;
        }
    }
    ~OtherProcess()
    {
        if (!reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

std::string LockText(pid_t pid)
{
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", int(pid));
    return text;
}

struct LockFileTest : PtyPortTest {
    testsupport::TempDir locks;
    std::string lockName;

    void SetUp() override
    {
        PtyPortTest::SetUp();
        setenv("SERIAL_LOCK_DIR", locks.path().string().c_str(), 1);
        lockName = "LCK.." + std::filesystem::path(pty.devicePath()).filename().string();
    }
    void TearDown() override
    {
        unsetenv("SERIAL_LOCK_DIR");
        PtyPortTest::TearDown();
    }
    bool Locked() const { return std::filesystem::exists(locks.path() / lockName); }
    std::string Lock() const { return locks.read(lockName); }
};

} // namespace

TEST_F(LockFileTest, OwnLockIsWrittenOnOpenAndRemovedOnClose)
{
    port.SetOpen(true);
    EXPECT_EQ(Lock(), LockText(getpid()));
    EXPECT_EQ(Lock().size(), 11u);
    port.SetOpen(false);
    EXPECT_FALSE(Locked());
    port.SetOpen(true);   // and again on the next open
    EXPECT_EQ(Lock(), LockText(getpid()));
}

TEST_F(LockFileTest, ALiveProcessesLockRefusesThePortNamingIt)
{
    auto other = std::make_unique<OtherProcess>(true);
    locks.write(lockName, LockText(other->pid()));
    const std::string expected = "ie_Open - device already open: COM5, " + pty.devicePath() + " (locked by process " +
                                 std::to_string(other->pid()) + ")";
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            port.SetOpen(true);
            ADD_FAILURE() << "opened a locked port";
        } catch (const EAlreadyOpen &e) {
            EXPECT_EQ(e.what(), expected);
        }
        EXPECT_EQ(port.PortState(), TPortState::PortClosed);
        EXPECT_EQ(Lock(), LockText(other->pid()));   // another program's lock is never touched
    }
    other.reset();   // the program ends without removing its lock
    port.SetOpen(true);
    EXPECT_EQ(Lock(), LockText(getpid()));
}

TEST_F(LockFileTest, StaleAndUnreadableLocksAreRemoved)
{
    const OtherProcess ended(false);
    for (const std::string &stale : {LockText(ended.pid()), std::string("garbage\n"), std::string()}) {
        locks.write(lockName, stale);
        port.SetOpen(true);
        EXPECT_EQ(Lock(), LockText(getpid()));
        port.SetOpen(false);
        EXPECT_FALSE(Locked());
    }
}

TEST_F(LockFileTest, ALostDeviceLeavesNoLock)
{
    port.SetOpen(true);
    ASSERT_TRUE(Locked());
    pty.closeMaster();
    ASSERT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
    EXPECT_FALSE(Locked());
}

TEST_F(LockFileTest, ASecondPortOnTheSameDeviceIsRefusedAndTheFirstKeepsItsLock)
{
    TSerCustomComPort second;
    second.SetComNumber(5);
    second.SetAutoOpen(false);
    port.SetOpen(true);
    try {
        second.SetOpen(true);
        ADD_FAILURE() << "opened the device twice";
    } catch (const EAlreadyOpen &e) {
        EXPECT_EQ(e.what(), "ie_Open - device already open: COM5, " + pty.devicePath());
    }
    EXPECT_EQ(Lock(), LockText(getpid()));
    port.SetOpen(false);
    EXPECT_FALSE(Locked());
    second.SetOpen(true);
    EXPECT_EQ(Lock(), LockText(getpid()));
    second.SetOpen(false);
    EXPECT_FALSE(Locked());
}

TEST_F(LockFileTest, ALockFolderThatCannotBeWrittenLeavesThePortUsable)
{
    setenv("SERIAL_LOCK_DIR", (locks.path() / "missing").string().c_str(), 1);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
    port.SetOpen(false);
}

TEST(LockFolder, RunLockUnlessTheEnvironmentNamesAnother)
{
    unsetenv("SERIAL_LOCK_DIR");
    EXPECT_EQ(SerLockFolder(), "/run/lock");
    setenv("SERIAL_LOCK_DIR", "/tmp/locks", 1);
    EXPECT_EQ(SerLockFolder(), "/tmp/locks");
    unsetenv("SERIAL_LOCK_DIR");
}
