#pragma once
// Acts on a modal dialog the way a user would while the code under test waits in the dialog's own event loop:
// once a dialog of the given type is the active modal window, `act` runs with it (and usually closes it).

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace testsupport {

template <class Dialog>
class OnModal {
public:
    explicit OnModal(std::function<void(Dialog &)> act, int timeoutMs = 10000) : act_(std::move(act))
    {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this, timeoutMs] {
            if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                timer_.stop();
                ran_ = true;
                act_(*dialog);
            } else if (clock_.elapsed() > timeoutMs) {
                timer_.stop();   // the dialog never came; the test's own checks report it
            }
        });
        timer_.start(5);
    }
    OnModal(const OnModal &) = delete;
    OnModal &operator=(const OnModal &) = delete;

    // Whether the dialog came up and `act` ran.
    bool ran() const { return ran_; }

private:
    std::function<void(Dialog &)> act_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool ran_ = false;
};

} // namespace testsupport
