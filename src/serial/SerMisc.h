#pragma once
// Bottom of the serial library: ticks of 55 ms, tick timers, yielding delays, the process-wide quit
// request, and the root class of the library's components.

#include <cstdint>
#include <string>

// Ticks counted from a 64-bit monotonic millisecond clock: they never wrap.
int64_t SerTickCount();
// Milliseconds of that clock.
int64_t SerMsCount();

// Milliseconds of the monotonic clock that ticks are counted from. Tests may put their own clock in place.
using TSerMsClock = int64_t (*)();
void SetSerMsClock(TSerMsClock clock);   // nullptr restores the system clock

constexpr int32_t MaxTimerTicks = 39045157;   // longest timer; longer requests are cut to it
constexpr uint32_t QuitMessage = 18;          // what a wait reports when it ended on a quit request

struct TTickTimer {
    int64_t StartTicks = 0;
    int64_t ExpireTicks = 0;
};

void NewTimer(TTickTimer &timer, int32_t ticks);
bool TimerExpired(const TTickTimer &timer);
// Milliseconds left until the timer expires (0 once it has).
int64_t TimerRemainingMs(const TTickTimer &timer);

// Handles what is pending in the calling thread's event queue; returns QuitMessage when a quit has been
// requested (the request stays in place), else 0.
uint32_t PumpSingleMessage();

// Waits the given ticks; with yield set the calling thread's events are handled meanwhile. Returns
// QuitMessage when the wait ended early on a quit request, else 0.
uint32_t DelayTicks(int32_t ticks, bool yield);

bool FlagSet(uint32_t value, uint32_t mask);

// The process-wide quit request: set once the application is to end. Yielding waits end early while it is
// set; the request stays in place so the main loop ends too. It is shared by every copy of this library in
// the process (the add-on library carries its own copy).
void RequestQuit(int exitCode = 0);
bool QuitRequested();
// Withdraws the request (a new main loop is about to run).
void ClearQuitRequest();

constexpr const char *SerLibraryVersion = "v2.58";

// Root class of the library's components.
class TSerBaseComponent {
public:
    virtual ~TSerBaseComponent() = default;

    std::string LibVersion() const { return SerLibraryVersion; }
    void SetLibVersion(const std::string &) {}   // accepted and ignored

    // True between BeginLoading and Loaded: property values are being restored, nothing is applied.
    bool ComponentLoading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    virtual void Loaded() { loading_ = false; }

private:
    bool loading_ = false;
};
