#pragma once
// The hidden window of a port: a QObject on the GUI thread that receives the library's window messages as
// custom events whose types are the message numbers, carrying wParam and lParam.

#include <QEvent>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Shows `text` through the default error report on the GUI thread; callable from any thread.
void PostErrorReport(const std::string &text);
// On the GUI thread, once the library's threads have stopped: shows the reports still waiting and frees their
// receiver, so that nothing of the library is left in the application (a host unloads the add-on library).
void ReleaseErrorReports();

// How far a message sent from another thread has got: queued, being handled, handled, or cancelled before its
// handling began (it is then never handled).
class TSerDelivery {
public:
    // Cancels the message while it is still queued; false while it is being handled.
    bool CancelUnlessRunning();

private:
    friend class TSerWindow;
    enum State { Pending, Running, Done, Cancelled };
    std::mutex mutex_;
    std::condition_variable changed_;
    State state_ = Pending;
};

class TSerMessageEvent : public QEvent {
public:
    TSerMessageEvent(uint32_t message, uint32_t wParam, int32_t lParam, std::shared_ptr<TSerDelivery> delivery = {});

    const uint32_t WParam;
    const int32_t LParam;
    const std::shared_ptr<TSerDelivery> delivery;
};

class TSerWindow : public QObject {
public:
    using TWindowProc = std::function<void(uint32_t message, uint32_t wParam, int32_t lParam)>;

    explicit TSerWindow(TWindowProc proc);
    ~TSerWindow() override;

    // From another thread: has the message handled on the window's thread and waits until it was, the time-out
    // passed, abort was set or the delivery was cancelled. False when its handling never began: it is then
    // cancelled for good.
    bool SendMessageTimeout(uint32_t message, uint32_t wParam, int32_t lParam, int timeoutMs,
                            const std::atomic<bool> &abort, const std::shared_ptr<TSerDelivery> &delivery);
    // Queues the message for the window's thread.
    void PostMessage(uint32_t message, uint32_t wParam, int32_t lParam);
    // From now on messages are received and dropped.
    void Detach() { detached_ = true; }

protected:
    void customEvent(QEvent *event) override;

private:
    TWindowProc proc_;
    bool detached_ = false;
};
