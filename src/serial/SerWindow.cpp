#include "SerWindow.h"

#include "platform/ErrorReport.h"

#include <QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

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

bool TSerDelivery::CancelUnlessRunning()
{
    std::lock_guard lock(mutex_);
    if (state_ == Running)
        return false;
    if (state_ == Pending) {
        state_ = Cancelled;
        changed_.notify_all();
    }
    return true;
}

TSerMessageEvent::TSerMessageEvent(uint32_t message, uint32_t wParam, int32_t lParam,
                                   std::shared_ptr<TSerDelivery> delivery)
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
                                    const std::atomic<bool> &abort, const std::shared_ptr<TSerDelivery> &delivery)
{
    Post(this, new TSerMessageEvent(message, wParam, lParam, delivery));
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(delivery->mutex_);
    const auto over = [&] {
        return delivery->state_ == TSerDelivery::Done || delivery->state_ == TSerDelivery::Cancelled || abort;
    };
    while (!over() && Clock::now() < deadline)
        delivery->changed_.wait_for(lock, std::chrono::milliseconds(20));
    if (delivery->state_ == TSerDelivery::Pending)
        delivery->state_ = TSerDelivery::Cancelled;
    return delivery->state_ != TSerDelivery::Cancelled;
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
    if (const auto &delivery = message->delivery) {
        std::lock_guard lock(delivery->mutex_);
        if (delivery->state_ == TSerDelivery::Cancelled)
            return;
        delivery->state_ = TSerDelivery::Running;
    }
    // An exception of a handler goes to the error report; it never crosses the event loop.
    if (!detached_)
        ReportErrors([&] { proc_(uint32_t(message->type()), message->WParam, message->LParam); });
    if (const auto &delivery = message->delivery) {
        std::lock_guard lock(delivery->mutex_);
        delivery->state_ = TSerDelivery::Done;
        delivery->changed_.notify_all();
    }
}
