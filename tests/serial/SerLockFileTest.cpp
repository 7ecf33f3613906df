#include "serial/SerExcept.h"
#include "serial/SerLockFile.h"
#include "serial/SerPort.h"
#include "serial/SerTtyDispatcher.h"

#include "PtyPortTest.h"
#include "Pump.h"
#include "RunAsUser.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

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
    for (const auto &entry : std::filesystem::directory_iterator(locks.path()))
        EXPECT_EQ(entry.path().filename(), lockName);   // the file it was written in is gone
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

TEST_F(LockFileTest, StaleLocksAreRemoved)
{
    const OtherProcess ended(false);
    for (const std::string &stale : {LockText(ended.pid()), std::string()}) {
        locks.write(lockName, stale);
        const auto longAgo = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
        std::filesystem::last_write_time(locks.path() / lockName, longAgo);   // empty far too long to be in writing
        port.SetOpen(true);
        EXPECT_EQ(Lock(), LockText(getpid()));
        port.SetOpen(false);
        EXPECT_FALSE(Locked());
    }
}

TEST_F(LockFileTest, WhatCannotBeReadAsALockRefusesThePortNamingItAndIsLeftAsItIs)
{
    if (!testsupport::CanSwitchUser())
        GTEST_SKIP() << "runs as the superuser and as another user";
    std::filesystem::permissions(locks.path(), std::filesystem::perms(01777));   // as /run/lock
    const std::filesystem::path at = locks.path() / lockName;
    const testsupport::Pty otherTerminal(testsupport::Pty::Slave::NeverOpened);
    const std::pair<const char *, std::function<void()>> planted[] = {
        {"FIFO", [&] { mkfifo(at.c_str(), 0644); }},
        {"link to another terminal", [&] { std::filesystem::create_symlink(otherTerminal.devicePath(), at); }},
        {"directory", [&] { std::filesystem::create_directory(at); }},
        {"file only its owner reads", [&] { locks.write(lockName, "garbage\n"), chmod(at.c_str(), 0600); }},
        {"empty file", [&] { locks.write(lockName, ""); }},
    };
    for (const testsupport::UserIds &user : {testsupport::UserIds {0, 0, {}}, testsupport::UserIds {65534, 65534, {}}})
        for (const auto &[what, plant] : planted) {
            plant();
            const auto type = std::filesystem::symlink_status(at).type();
            const int refused = testsupport::RunAsUser(user, [&] {
                alarm(10);   // an open that waits on the lock ends here
                const auto start = std::chrono::steady_clock::now();
                try {
                    port.SetOpen(true);
                } catch (const EAlreadyOpen &e) {
                    const bool named = std::string(e.what()).find(at.string()) != std::string::npos;
                    return named && std::chrono::steady_clock::now() - start < 1s ? 0 : 1;
                }
                return 1;
            });
            EXPECT_EQ(refused, 0) << what << " as user " << user.uid;
            EXPECT_EQ(std::filesystem::symlink_status(at).type(), type) << what << " as user " << user.uid;
            EXPECT_FALSE(otherTerminal.masterHungUp()) << what << " as user " << user.uid;
            std::filesystem::remove_all(at);
        }
}

TEST_F(LockFileTest, OfEightProgramsOpeningTheDeviceAtOnceOneHoldsItAndTheLockNamesIt)
{
    constexpr int Rounds = 200, Programs = 8;
    const OtherProcess ended(false);
    int failed = 0;
    for (int round = 0; round < Rounds; ++round) {
        if (round % 2)
            locks.write(lockName, LockText(ended.pid()));   // every other round starts with a stale lock
        int start[2], report[2], hold[2];
        ASSERT_EQ(pipe(start) | pipe(report) | pipe(hold), 0);
        std::vector<pid_t> holders;
        for (int n = 0; n < Programs; ++n)
            if (fork() == 0) {
                char byte;
                close(start[1]), close(hold[1]);
                {
                    (void)!read(start[0], &byte, 1);   // the end of the pipe starts all at once
                    TSerWin32Dispatcher program(nullptr);
                    const pid_t holder = program.OpenDevice(pty.devicePath(), 64, 64) >= 0 ? getpid() : 0;
                    (void)!write(report[1], &holder, sizeof holder);
                    (void)!read(hold[0], &byte, 1);
                }
                _exit(0);
            }
        close(start[0]), close(start[1]), close(report[1]), close(hold[0]);
        for (pid_t holder, n = 0; n < Programs && read(report[0], &holder, sizeof holder) == sizeof holder; ++n)
            if (holder != 0)
                holders.push_back(holder);
        failed += holders.size() != 1 || Lock() != LockText(holders.front());
        close(report[0]), close(hold[1]);
        while (wait(nullptr) > 0) {}
        failed += Locked();   // the holder's lock went with it, and nobody else's is left
    }
    EXPECT_EQ(failed, 0) << "of " << Rounds << " rounds";
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
