#include "SerWindow.h"

#include "platform/ErrorReport.h"

#include <QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

struct TSerMessageEvent::Delivery {
    enum State { Pending, Running, Done, Cancelled };
    std::mutex mutex;
    std::condition_variable changed;
    State state = Pending;
};

namespace {

// Posting and receiving pass through this lock, so that the hand-over of an event to the window's thread is
// visible to race detectors too (Qt's own queue lock is outside their view).
std::mutex postLock;

void Post(QObject *receiver, QEvent *event)
{
    std::lock_guard lock(postLock);
    QCoreApplication::postEvent(receiver, event);
}

} // namespace

namespace {

// Reports from the library's threads wait here for the GUI thread; the lock also guards the receiver.
std::mutex reportLock;
std::vector<std::string> pendingReports;
QObject *reportReceiver = nullptr;

// Shows the waiting reports on the GUI thread.
class TReportReceiver : public QObject {
protected:
    void customEvent(QEvent *) override
    {
        {
            std::lock_guard lock(postLock);
        }
        std::vector<std::string> reports;
        {
            std::lock_guard lock(reportLock);
            reports.swap(pendingReports);
        }
        for (const std::string &text : reports) ShowErrorReport(text);
    }
};

} // namespace

void PostErrorReport(const std::string &text)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) return;
    std::lock_guard lock(reportLock);
    pendingReports.push_back(text);
    if (!reportReceiver) {
        reportReceiver = new TReportReceiver;
        reportReceiver->moveToThread(app->thread());
    }
    Post(reportReceiver, new QEvent(QEvent::User));
}

void ReleaseErrorReports()
{
    std::vector<std::string> reports;
    {
        std::lock_guard lock(reportLock);
        delete reportReceiver;   // the events posted to it go with it
        reportReceiver = nullptr;
        reports.swap(pendingReports);
    }
    for (const std::string &text : reports) ShowErrorReport(text);
}

TSerMessageEvent::TSerMessageEvent(uint32_t message, uint32_t wParam, int32_t lParam,
                                   std::shared_ptr<Delivery> delivery)
    : QEvent(QEvent::Type(message)), WParam(wParam), LParam(lParam), delivery(std::move(delivery))
{
}

TSerWindow::TSerWindow(TWindowProc proc) : proc_(std::move(proc))
{
    setObjectName("serComWindow");
}

TSerWindow::~TSerWindow()
{
    // Messages never received go with the window, after their posting as the lock orders it.
    std::lock_guard lock(postLock);
    QCoreApplication::removePostedEvents(this);
}

bool TSerWindow::SendMessageTimeout(uint32_t message, uint32_t wParam, int32_t lParam, int timeoutMs,
                                    const std::atomic<bool> &abort)
{
    auto delivery = std::make_shared<TSerMessageEvent::Delivery>();
    Post(this, new TSerMessageEvent(message, wParam, lParam, delivery));
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(delivery->mutex);
    while (delivery->state != TSerMessageEvent::Delivery::Done && !abort && Clock::now() < deadline)
        delivery->changed.wait_for(lock, std::chrono::milliseconds(20));
    if (delivery->state == TSerMessageEvent::Delivery::Pending)
        delivery->state = TSerMessageEvent::Delivery::Cancelled;
    return delivery->state == TSerMessageEvent::Delivery::Done;
}

void TSerWindow::PostMessage(uint32_t message, uint32_t wParam, int32_t lParam)
{
    Post(this, new TSerMessageEvent(message, wParam, lParam));
}

void TSerWindow::customEvent(QEvent *event)
{
    {
        std::lock_guard lock(postLock);
    }
    auto *message = dynamic_cast<TSerMessageEvent *>(event);
    if (!message)
        return;
    using Delivery = TSerMessageEvent::Delivery;
    if (const auto &delivery = message->delivery) {
        std::lock_guard lock(delivery->mutex);
        if (delivery->state == Delivery::Cancelled)
            return;
        delivery->state = Delivery::Running;
    }
    // An exception of a handler goes to the error report; it never crosses the event loop.
    if (!detached_)
        ReportErrors([&] { proc_(uint32_t(message->type()), message->WParam, message->LParam); });
    if (const auto &delivery = message->delivery) {
        std::lock_guard lock(delivery->mutex);
        delivery->state = Delivery::Done;
        delivery->changed.notify_all();
    }
}
