#include "serial/SerTtyDispatcher.h"
#include "serial/SerWindow.h"

#include "FakeDispatcher.h"
#include "Pty.h"
#include "Pump.h"
#include "ScriptedUi.h"

#include <gtest/gtest.h>

#include <fstream>

#include <QThread>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct Message {
    uint32_t msg;
    uint32_t wParam;
    int32_t lParam;
};

// Threads of this process whose name begins with the serial library's "ser-".
int CountSerialThreads()
{
    int n = 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d)) {
            std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
            std::string name;
            if (std::getline(comm, name) && name.rfind("ser-", 0) == 0) ++n;
        }
        closedir(d);
    }
    return n;
}

int CountEntries(const char *dir)
{
    int n = 0;
    if (DIR *d = opendir(dir)) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

// A dispatcher on a pty with one registered window that records every message on the GUI thread.
struct DeliveryTest : ::testing::Test {
    testsupport::Pty pty;
    std::vector<Message> messages;
    std::string read;
    bool onGuiThread = true;
    std::function<void(const Message &)> onMessage;   // runs after the message is recorded
    std::unique_ptr<TSerWin32Dispatcher> d;
    TSerWindow window {[this](uint32_t msg, uint32_t wParam, int32_t lParam) {
        onGuiThread = onGuiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        messages.push_back({msg, wParam, lParam});
        if (onMessage)
            onMessage(messages.back());
    }};

    void SetUp() override
    {
        d = std::make_unique<TSerWin32Dispatcher>(nullptr);
        TSerOpenParams params;
        params.DeviceName = pty.devicePath();
        ASSERT_EQ(d->OpenPort(params), 0);
        d->UpdateHandlerService(1);
        d->RegisterWindowHandler(&window);
    }
    void TearDown() override
    {
        if (d)
            d->ClosePort();
    }
    // Reads what an avail message offers.
    void ReadOffered(const Message &m)
    {
        uint8_t c;
        for (uint32_t i = 0; i < m.wParam && d->GetChar(c) == 0; ++i)
            read += char(c);
    }
    int Count(uint32_t msg) const
    {
        return int(std::count_if(messages.begin(), messages.end(), [msg](const Message &m) { return m.msg == msg; }));
    }
};

} // namespace

TEST_F(DeliveryTest, LengthTriggerDeliversAvailOnTheGuiThread)
{
    onMessage = [this](const Message &m) {
        if (m.msg == SerMsg::Avail)
            ReadOffered(m);
    };
    d->SetLengthTrigger(1);
    pty.write("HELLO");
    ASSERT_TRUE(PumpUntil([&] { return read.size() == 5; }, 2s));
    pty.write(" WORLD");
    ASSERT_TRUE(PumpUntil([&] { return read.size() == 11; }, 2s));
    EXPECT_EQ(read, "HELLO WORLD");
    EXPECT_TRUE(onGuiThread);
    for (const Message &m : messages) {
        EXPECT_EQ(m.msg, SerMsg::Avail);
        EXPECT_EQ(m.lParam, d->Handle() << 16);
    }
    EXPECT_EQ(d->InBuffUsed(), 0u);
}

TEST_F(DeliveryTest, UnreadBytesStayWithoutAnotherAvailUntilMoreArrive)
{
    onMessage = [this](const Message &m) {
        uint8_t c;
        for (uint32_t i = 0; i < std::min<uint32_t>(2, m.wParam) && d->GetChar(c) == 0; ++i)
            read += char(c);
    };
    d->SetLengthTrigger(1);
    pty.write("ABCDE");
    ASSERT_TRUE(PumpUntil([&] { return read.size() == 2; }, 2s));
    PumpFor(300ms);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wParam, 5u);
    EXPECT_EQ(d->InBuffUsed(), 3u);
    pty.write("F");
    ASSERT_TRUE(PumpUntil([&] { return read.size() == 4; }, 2s));
    EXPECT_EQ(messages.back().wParam, 4u);
    EXPECT_EQ(read, "ABCD");
    EXPECT_EQ(d->InBuffUsed(), 2u);
}

TEST_F(DeliveryTest, DataTriggerFiresOncePerMatch)
{
    d->RestoreTriggers(DataTriggerSet(0, "OK\r"));
    onMessage = [this](const Message &m) { ReadOffered({m.msg, m.msg == SerMsg::Data ? m.lParam & 0xFFFF : m.wParam, 0}); };

    pty.write("xxOK\r");
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Data) == 1; }, 2s));
    pty.write("O");
    PumpFor(100ms);
    pty.write("K\r");
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Data) == 2; }, 2s));
    pty.write("OOK\r");
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Data) == 3; }, 2s));
    PumpFor(200ms);
    EXPECT_EQ(Count(SerMsg::Data), 3);
    EXPECT_EQ(Count(SerMsg::Avail), 0);
    for (const Message &m : messages) {
        EXPECT_EQ(m.wParam, 8u);
        EXPECT_EQ(m.lParam, (d->Handle() << 16) + 3);
    }
}

TEST_F(DeliveryTest, AvailBeforeTheMatchedStringThenTheDataMessage)
{
    d->RestoreTriggers(DataTriggerSet(1, "OK\r"));
    onMessage = [this](const Message &m) { ReadOffered({m.msg, m.msg == SerMsg::Data ? m.lParam & 0xFFFF : m.wParam, 0}); };
    pty.write("ab OK\r");
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Data) == 1; }, 2s));
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].msg, SerMsg::Avail);
    EXPECT_EQ(messages[0].wParam, 3u);
    EXPECT_EQ(read, "ab OK\r");
    EXPECT_EQ(d->InBuffUsed(), 0u);
}

TEST_F(DeliveryTest, TimerTriggerFiresOnceAfterItsTicks)
{
    const int32_t handle = d->AddTimerTrigger();
    EXPECT_EQ(handle, 8);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(d->SetTimerTrigger(handle, 4, true), 0);
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Timer) == 1; }, 2s));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 200ms);
    EXPECT_LT(elapsed, 500ms);
    EXPECT_EQ(messages[0].wParam, 8u);
    PumpFor(400ms);
    EXPECT_EQ(Count(SerMsg::Timer), 1);
    ASSERT_EQ(d->SetTimerTrigger(handle, 0, true), 0);   // reuses its last ticks
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Timer) == 2; }, 2s));
    EXPECT_EQ(d->SetTimerTrigger(16, 1, true), SerCode::BadTriggerHandle);
}

TEST_F(DeliveryTest, TimerReArmedAtEveryFiringKeepsFiringWhileStringWaitsComeAndGo)
{
    const int32_t timer = d->AddTimerTrigger();
    onMessage = [&](const Message &) { d->SetTimerTrigger(timer, -1, true); };   // due again at once
    ASSERT_EQ(d->SetTimerTrigger(timer, -1, true), 0);
    // After each firing the GUI thread runs short string waits, one after the other, while the dispatcher
    // thread checks the timer again. A firing lost to a wait would stop the timer for good.
    int fired = 0;
    auto lastFiring = std::chrono::steady_clock::now();
    while (fired < 200 && std::chrono::steady_clock::now() - lastFiring < 1s) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (Count(SerMsg::Timer) == fired)
            continue;
        fired = Count(SerMsg::Timer);
        lastFiring = std::chrono::steady_clock::now();
        for (const auto until = lastFiring + 200us; std::chrono::steady_clock::now() < until;)
            if (!d->SwapDispatching(true))
                d->SwapDispatching(false);
    }
    EXPECT_EQ(fired, 200);
}

TEST(DeliveryPutOff, ATriggerThatAStringWaitPutsOffFiresOnceTheWaitEnds)
{
    // The check runs while the flag is held, as when a string wait begins between the dispatcher thread's
    // test of the flag and the delivery. Nothing is delivered then, and nothing may be used up.
    struct Case {
        const char *what;
        std::function<void(FakeDispatcher &)> arm;
        bool (*check)(TSerBaseDispatcher &);
        std::vector<uint32_t> messages;
    };
    const Case cases[] = {
        {"timer",
         [](FakeDispatcher &f) { f.SetTimerTrigger(f.AddTimerTrigger(), -1, true); },
         &TSerDispatcherProbe::CheckTimerTriggers, {SerMsg::Timer}},
        {"output sent",
         [](FakeDispatcher &f) {
             f.SetStatusTrigger(f.AddStatusTrigger(StatusKind::OutSent), 0, true);
             f.PutChar('x');
         },
         &TSerDispatcherProbe::CheckStatusTriggers, {SerMsg::Status}},
        {"data with the bytes before it",
         [](FakeDispatcher &f) {
             f.RestoreTriggers(DataTriggerSet(1, "OK"));
             f.input = {'a', 'b', 'O', 'K'};
             TSerDispatcherProbe::ReadIntoRing(f);
         },
         &TSerDispatcherProbe::CheckDataTriggers, {SerMsg::Avail, SerMsg::Data}},
    };
    for (const Case &c : cases) {
        FakeDispatcher f;
        ASSERT_EQ(f.OpenPort({}), 0);
        std::vector<uint32_t> messages;
        TSerWindow window {[&](uint32_t msg, uint32_t wParam, int32_t lParam) {
            messages.push_back(msg);
            uint8_t byte;
            const uint32_t offered = msg == SerMsg::Data ? uint32_t(lParam & 0xFFFF) : msg == SerMsg::Avail ? wParam : 0;
            for (uint32_t n = 0; n < offered; ++n)
                f.GetChar(byte);
        }};
        f.UpdateHandlerService(1);
        f.RegisterWindowHandler(&window);
        c.arm(f);
        // Deliveries wait for the GUI thread, so the checks run on a thread of their own.
        const auto checkOffThread = [&] {
            std::atomic<bool> finished = false;
            std::thread check([&] {
                c.check(f);
                finished = true;
            });
            PumpUntil([&] { return finished.load(); }, 5s);
            check.join();
        };
        f.SwapDispatching(true);
        checkOffThread();
        EXPECT_TRUE(messages.empty()) << c.what;
        f.SwapDispatching(false);
        checkOffThread();
        EXPECT_EQ(messages, c.messages) << c.what;
        checkOffThread();
        EXPECT_EQ(messages, c.messages) << c.what << ": once";
    }
}

namespace {

// A trigger of each kind, on a fresh fake dispatcher (handles from 8 on).
struct TriggerKind {
    const char *what;
    std::function<void(FakeDispatcher &)> arm;
    std::function<void(FakeDispatcher &)> provoke;   // makes it fire
    std::function<void(FakeDispatcher &)> off;       // the program switches it off
    bool arrival;                                    // fired by bytes that arrive, else by the tick
    std::vector<uint32_t> messages;                  // of one firing
    const char *read;                                // what they offer
};
const TriggerKind triggerKinds[] = {
    {"timer", [](FakeDispatcher &f) { f.SetTimerTrigger(f.AddTimerTrigger(), -1, true); }, [](FakeDispatcher &) {},
     [](FakeDispatcher &f) { f.SetTimerTrigger(8, 0, false); }, false, {SerMsg::Timer}, ""},
    {"output sent", [](FakeDispatcher &f) { f.SetStatusTrigger(f.AddStatusTrigger(StatusKind::OutSent), 0, true); },
     [](FakeDispatcher &f) { f.PutChar('x'); }, [](FakeDispatcher &f) { f.SetStatusTrigger(13, 0, false); }, false,
     {SerMsg::Status}, ""},
    {"bytes available", [](FakeDispatcher &f) { f.SetLengthTrigger(1); }, [](FakeDispatcher &f) { f.input = {'a', 'b', 'c'}; },
     [](FakeDispatcher &f) { f.RemoveTrigger(LengthTriggerHandle); }, true, {SerMsg::Avail}, "abc"},
    {"data with the bytes before it", [](FakeDispatcher &f) { f.RestoreTriggers(DataTriggerSet(1, "OK")); },
     [](FakeDispatcher &f) { f.input = {'a', 'b', 'O', 'K'}; },
     [](FakeDispatcher &f) {
         f.RemoveTrigger(8);
         f.RemoveTrigger(LengthTriggerHandle);
     },
     true, {SerMsg::Avail, SerMsg::Data}, "abOK"},
};

// A fake dispatcher with a window that records the messages it handles and reads what they offer.
struct RecordingRun {
    std::unique_ptr<FakeDispatcher> f;
    std::vector<uint32_t> messages;
    std::string read;
    TSerWindow window {[this](uint32_t msg, uint32_t wParam, int32_t lParam) {
        messages.push_back(msg);
        uint8_t byte;
        const uint32_t offered = msg == SerMsg::Data ? uint32_t(lParam & 0xFFFF) : msg == SerMsg::Avail ? wParam : 0;
        for (uint32_t n = 0; n < offered && f->GetChar(byte) == 0; ++n)
            read += char(byte);
    }};

    RecordingRun() { Open({}); }
    // A fresh dispatcher with these triggers, as the port makes one at every open.
    void Open(const TTriggerSave &triggers)
    {
        f = std::make_unique<FakeDispatcher>();
        ASSERT_EQ(f->OpenPort({}), 0);
        f->RestoreTriggers(triggers);
        f->UpdateHandlerService(1);
        f->RegisterWindowHandler(&window);
    }
    // Runs checks of the dispatcher thread on a thread of their own, while the GUI thread handles the messages.
    void CheckHandled(const std::function<void(TSerBaseDispatcher &)> &check)
    {
        std::atomic<bool> finished = false;
        std::thread thread([&] {
            check(*f);
            finished = true;
        });
        PumpUntil([&] { return finished.load(); }, 5s);
        thread.join();
    }
};

// Arms each run's trigger of triggerKinds (in turn) and fires it on a thread of its own while the GUI thread does
// not look at its events.
std::vector<std::thread> FireUnhandled(std::vector<std::unique_ptr<RecordingRun>> &runs)
{
    std::vector<std::thread> checks;
    for (size_t i = 0; i < runs.size(); ++i) {
        const TriggerKind &kind = triggerKinds[i % std::size(triggerKinds)];
        FakeDispatcher &f = *runs[i]->f;
        kind.arm(f);
        kind.provoke(f);
        checks.emplace_back([&f, arrival = kind.arrival] {
            if (arrival)
                TSerDispatcherProbe::HandleDeviceEvent(f, DevEvent::RxChar);
            else
                TSerDispatcherProbe::PeriodicCheck(f);
        });
    }
    return checks;
}

} // namespace

TEST(DeliveryTimeOut, ATriggerWhoseMessageWasNeverHandledFiresAgainAtTheNextTick)
{
    // The GUI thread is busy for longer than a delivery may wait: the queued message is cancelled, and the trigger
    // must not be used up by a message nobody got.
    std::vector<std::unique_ptr<RecordingRun>> runs(std::size(triggerKinds));
    for (auto &run : runs)
        run = std::make_unique<RecordingRun>();
    for (std::thread &t : FireUnhandled(runs))
        t.join();
    PumpFor(50ms);
    for (size_t i = 0; i < runs.size(); ++i) {
        const TriggerKind &kind = triggerKinds[i];
        EXPECT_TRUE(runs[i]->messages.empty()) << kind.what << ": a cancelled message was handled";
        runs[i]->CheckHandled(&TSerDispatcherProbe::PeriodicCheck);
        EXPECT_EQ(runs[i]->messages, kind.messages) << kind.what;
        EXPECT_EQ(runs[i]->read, kind.read) << kind.what;
    }
}

TEST(DeliveryTimeOut, ATriggerSwitchedOffWhileItsMessageWaitsStaysOffAfterTheTimeOutAndAfterAReopen)
{
    // Each kind twice: the first run's message waits out its time-out, the second's is cancelled by a close.
    const size_t kinds = std::size(triggerKinds);
    std::vector<std::unique_ptr<RecordingRun>> runs(2 * kinds);
    for (auto &run : runs)
        run = std::make_unique<RecordingRun>();
    std::vector<std::thread> checks = FireUnhandled(runs);
    const auto until = std::chrono::steady_clock::now() + 2s;
    for (size_t i = 0; i < runs.size(); ++i) {
        while (!runs[i]->f->Dispatching() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(runs[i]->f->Dispatching()) << triggerKinds[i % kinds].what;
        triggerKinds[i % kinds].off(*runs[i]->f);
        if (i >= kinds)
            runs[i]->f->ClosePort();
    }
    for (std::thread &t : checks)
        t.join();
    for (size_t i = 0; i < runs.size(); ++i) {
        const TriggerKind &kind = triggerKinds[i % kinds];
        RecordingRun &run = *runs[i];
        if (i >= kinds) {
            TTriggerSave saved;
            run.f->SaveTriggers(saved);
            run.Open(saved);
        }
        kind.provoke(*run.f);
        run.CheckHandled([](TSerBaseDispatcher &f) {
            TSerDispatcherProbe::HandleDeviceEvent(f, DevEvent::RxChar);
            TSerDispatcherProbe::PeriodicCheck(f);
        });
        EXPECT_TRUE(run.messages.empty()) << kind.what << (i >= kinds ? ", after a reopen" : ", after the time-out");
    }
}

TEST_F(DeliveryTest, StatusTriggersForOutputSentAndEmptyOutput)
{
    const int32_t sent = d->AddStatusTrigger(StatusKind::OutSent);
    EXPECT_EQ(sent & 7, StatusKind::OutSent);
    const int32_t empty = d->AddStatusTrigger(StatusKind::OutBuffUsed);
    EXPECT_EQ(empty & 7, StatusKind::OutBuffUsed);
    EXPECT_EQ(d->AddStatusTrigger(6), SerCode::BadArgument);
    ASSERT_EQ(d->SetStatusTrigger(sent, 0, true), 0);
    ASSERT_EQ(d->PutBlock("X", 1), 0);
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Status) == 1; }, 2s));
    EXPECT_EQ(messages[0].wParam, uint32_t(sent));
    EXPECT_EQ(pty.read(1s, 1), "X");
    ASSERT_EQ(d->SetStatusTrigger(empty, 0, true), 0);
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::Status) == 2; }, 2s));
    EXPECT_EQ(messages[1].wParam, uint32_t(empty));
    EXPECT_EQ(messages[1].lParam & 0xFFFF, 0);
    PumpFor(200ms);
    EXPECT_EQ(Count(SerMsg::Status), 2);   // once per arming
}

TEST_F(DeliveryTest, TriggerRegistryHandlesAndCodes)
{
    EXPECT_EQ(d->RemoveTrigger(LengthTriggerHandle), 0);
    EXPECT_EQ(d->RemoveTrigger(999), SerCode::BadTriggerHandle);
    const int32_t status = d->AddStatusTrigger(StatusKind::OutBuffFree);
    EXPECT_EQ(status & 7, 3);
    EXPECT_EQ(d->SetTimerTrigger(status, 1, true), SerCode::BadTriggerHandle);
    // After 4095 counted handles the lowest free multiple of 8 comes back.
    for (int i = 1; i < 4095; ++i)
        d->AddTimerTrigger();
    EXPECT_EQ(d->RemoveTrigger(16), 0);
    EXPECT_EQ(d->RemoveTrigger(status), 0);
    EXPECT_EQ(d->AddTimerTrigger(), 8);    // the status trigger's base is free again
    EXPECT_EQ(d->AddTimerTrigger(), 16);
    EXPECT_EQ(d->AddTimerTrigger(), SerCode::NoMoreTriggerSlots);
    TTriggerSave saved;
    d->SaveTriggers(saved);
    EXPECT_EQ(saved.Timers.size(), 4095u);
    d->ClearTriggers();
    EXPECT_EQ(d->AddTimerTrigger(), 8);
}

TEST_F(DeliveryTest, BytesAreHandedOutOnceAcrossADeliveryTimeOut)
{
    // The first handler outlasts the delivery's time-out of 3 s and reads on, byte by byte, while the
    // dispatcher thread ends the delivery; each byte must still be handed out once.
    std::string sent(4000, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = char(i % 251);
    bool first = true;
    onMessage = [&](const Message &m) {
        if (!first)
            return ReadOffered(m);
        first = false;
        const auto start = std::chrono::steady_clock::now();
        ReadOffered({m.msg, 1, 0});
        std::this_thread::sleep_until(start + 2950ms);
        uint8_t c;
        while (d->GetChar(c) == 0) {
            read += char(c);
            for (const auto until = std::chrono::steady_clock::now() + 25us; std::chrono::steady_clock::now() < until;) {
            }
        }
    };
    pty.write(sent.substr(0, sent.size() - 1));
    ASSERT_TRUE(PumpUntil([&] { return d->InBuffUsed() == sent.size() - 1; }, 2s));
    d->SetLengthTrigger(1);
    pty.write(sent.substr(sent.size() - 1));
    ASSERT_TRUE(PumpUntil([&] { return read.size() >= sent.size(); }, 6s)) << read.size();
    PumpFor(100ms);
    EXPECT_TRUE(read == sent) << read.size();
    EXPECT_EQ(d->InBuffUsed(), 0u);
}

TEST_F(DeliveryTest, CloseFromInsideAHandlerIsDeferred)
{
    bool deferred = false;
    onMessage = [&](const Message &) { deferred = d->ClosePort(); };
    d->SetLengthTrigger(1);
    pty.write("A");
    ASSERT_TRUE(PumpUntil([&] { return !messages.empty(); }, 2s));
    EXPECT_TRUE(deferred);
    ASSERT_TRUE(PumpUntil([&] { return !d->ThreadsStarted(); }, 1s));
    d.reset();
}

TEST_F(DeliveryTest, AMessageStillQueuedDoesNotHoldUpACloseAndItsTriggerIsSavedArmed)
{
    const int32_t timer = d->AddTimerTrigger();
    ASSERT_EQ(d->SetTimerTrigger(timer, -1, true), 0);
    // The GUI thread does not look at its events: the timer's message stays queued.
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (!d->Dispatching() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(d->Dispatching());
    EXPECT_FALSE(d->ClosePort());   // closed at once, not deferred
    EXPECT_FALSE(d->ThreadsStarted());
    TTriggerSave saved;
    d->SaveTriggers(saved);
    ASSERT_EQ(saved.Timers.size(), 1u);
    EXPECT_TRUE(saved.Timers[0].Active);   // fires after the next open
    PumpFor(50ms);
    EXPECT_EQ(Count(SerMsg::Timer), 0);   // the cancelled message is never handled
}

TEST_F(DeliveryTest, HungUpPeerEndsOnlyTheEventThread)
{
    onMessage = [this](const Message &m) {
        if (m.msg == SerMsg::Avail)
            ReadOffered(m);
    };
    d->SetLengthTrigger(1);
    const int timer = d->AddTimerTrigger();
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i)
            pty.write(std::string(100, 'z'));
        pty.closeMaster();
    });
    writer.join();
    // The windows are told of the loss once (what the hang-up left unread is gone with it).
    ASSERT_TRUE(PumpUntil([&] { return Count(SerMsg::DeviceLost) == 1; }, 2s));
    EXPECT_EQ(read.find_first_not_of('z'), std::string::npos);
    for (const Message &m : messages)
        EXPECT_EQ(m.lParam & ~0xFFFF, d->Handle() << 16);
    EXPECT_TRUE(d->DeviceFailed());
    EXPECT_TRUE(d->ThreadsStarted());
    EXPECT_EQ(CountSerialThreads(), 2);

    // The dispatcher thread keeps its timers; the output thread drops what it cannot write.
    ASSERT_EQ(d->SetTimerTrigger(timer, 1, true), 0);
    EXPECT_TRUE(PumpUntil([&] { return Count(SerMsg::Timer) == 1; }, 1s));
    ASSERT_EQ(d->PutBlock("lost", 4), 0);
    EXPECT_TRUE(PumpUntil([&] { return d->OutBuffUsed() == 0; }, 1s));
    const auto start = std::chrono::steady_clock::now();
    d->SetLine(1200, 0, 1, 8);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);   // no drain on a dead device

    d->ClosePort();
    EXPECT_FALSE(d->ThreadsStarted());
    EXPECT_EQ(CountSerialThreads(), 0);
    EXPECT_EQ(Count(SerMsg::DeviceLost), 1);
    d.reset();
}

TEST_F(DeliveryTest, OneMebibyteArrivesCompleteAndInOrder)
{
    onMessage = [this](const Message &m) { ReadOffered(m); };
    d->SetLengthTrigger(1);
    std::string sent(1 << 20, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = char((i * 7 + i / 251) % 256);
    std::thread writer([&] { pty.write(sent); });
    const bool complete = PumpUntil([&] { return read.size() >= sent.size(); }, 30s);
    writer.join();
    ASSERT_TRUE(complete) << read.size();
    EXPECT_TRUE(read == sent);
}

TEST(DispatcherThreads, AnExceptionInAThreadIsReportedAndEndsOnlyThatThread)
{
    struct BreakingDispatcher : TSerWin32Dispatcher {
        using TSerWin32Dispatcher::TSerWin32Dispatcher;
        std::atomic<bool> breakNow {false};
        uint32_t PollDeviceEvents() override
        {
            if (breakNow.exchange(false))
                throw std::runtime_error("device state unreadable");
            return TSerWin32Dispatcher::PollDeviceEvents();
        }
    };
    testsupport::ScriptedUi ui;
    testsupport::Pty pty;
    BreakingDispatcher d(nullptr);
    TSerOpenParams params;
    params.DeviceName = pty.devicePath();
    ASSERT_EQ(d.OpenPort(params), 0);
    d.breakNow = true;
    ASSERT_TRUE(PumpUntil([&] { return !ui.warnings().empty(); }, 2s));
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"device state unreadable"});
    EXPECT_TRUE(PumpUntil([&] { return CountSerialThreads() == 2; }, 1s));
    ASSERT_EQ(d.PutBlock("still", 5), 0);   // the output thread goes on
    EXPECT_EQ(pty.read(2s, 5), "still");
    d.ClosePort();
    EXPECT_EQ(CountSerialThreads(), 0);
}

TEST(DispatcherLifetime, OpenAndCloseLeaveNoThreadOrDescriptor)
{
    testsupport::Pty pty;
    TSerOpenParams params;
    params.DeviceName = pty.devicePath();
    {
        // One cycle first, so that helper threads of the runtime (a sanitizer's) exist before counting.
        TSerWin32Dispatcher warmUp(nullptr);
        ASSERT_EQ(warmUp.OpenPort(params), 0);
    }
    const int fds = CountEntries("/proc/self/fd");
    const size_t listSize = TSerBaseDispatcher::DispatcherListSize();
    ASSERT_EQ(CountSerialThreads(), 0);
    for (int i = 0; i < 200; ++i) {
        TSerWin32Dispatcher d(nullptr);
        ASSERT_EQ(d.OpenPort(params), 0);
        EXPECT_EQ(CountSerialThreads(), 3);
        if (i % 20 == 0)
            pty.write("x");
        d.ClosePort();
        // A joined thread may stay listed for a moment while the kernel finishes its exit.
        EXPECT_TRUE(PumpUntil([] { return CountSerialThreads() == 0; }, std::chrono::seconds(1)));
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    EXPECT_EQ(TSerBaseDispatcher::DispatcherListSize(), listSize);
}

TEST(DispatcherLifetime, IdlePortUsesNoMeasurableCpu)
{
    testsupport::Pty pty;
    TSerWin32Dispatcher d(nullptr);
    TSerOpenParams params;
    params.DeviceName = pty.devicePath();
    ASSERT_EQ(d.OpenPort(params), 0);
    const auto cpu = [] {
        timespec t {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
    };
    const double before = cpu();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(cpu() - before, 30.0);   // milliseconds of CPU in one second
}
