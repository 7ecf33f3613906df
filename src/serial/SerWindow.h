#pragma once
// The hidden window of a port: a QObject on the GUI thread that receives the library's window messages as
// custom events whose types are the message numbers, carrying wParam and lParam.

#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Shows `text` through the default error report on the GUI thread; callable from any thread.
void PostErrorReport(const std::string &text);
// On the GUI thread, once the library's threads have stopped: shows the reports still waiting and frees their
// receiver, so that nothing of the library is left in the application (a host unloads the add-on library).
void ReleaseErrorReports();

class TSerMessageEvent : public QEvent {
public:
    struct Delivery;   // completion state of a send from another thread

    TSerMessageEvent(uint32_t message, uint32_t wParam, int32_t lParam, std::shared_ptr<Delivery> delivery = {});

    const uint32_t WParam;
    const int32_t LParam;
    const std::shared_ptr<Delivery> delivery;
};

class TSerWindow : public QObject {
public:
    using TWindowProc = std::function<void(uint32_t message, uint32_t wParam, int32_t lParam)>;

    explicit TSerWindow(TWindowProc proc);
    ~TSerWindow() override;

    // From another thread: has the message handled on the window's thread and waits until it was, the time-out
    // passed or abort was set. True when it was handled; a message not yet started is then never handled.
    bool SendMessageTimeout(uint32_t message, uint32_t wParam, int32_t lParam, int timeoutMs,
                            const std::atomic<bool> &abort);
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
