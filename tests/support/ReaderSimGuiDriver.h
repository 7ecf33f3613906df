#pragma once
// Runs a ReaderSim on a pty master from the thread that owns it, through Qt's event loop: a socket
// notifier reads what the host sent, a timer sends delayed replies. It answers whenever that thread
// processes events, for example during the program's yielding waits and modal dialogs. Destroy it before
// the pty and the ReaderSim; nothing of it runs after its destructor.

#include "ReaderSim.h"
#include "ReaderSimChannel.h"

#include <QSocketNotifier>
#include <QTimer>

#include <string>

namespace testsupport {

class ReaderSimGuiDriver {
public:
    ReaderSimGuiDriver(ReaderSim &sim, int masterFd);
    ReaderSimGuiDriver(const ReaderSimGuiDriver &) = delete;
    ReaderSimGuiDriver &operator=(const ReaderSimGuiDriver &) = delete;

    // Sends bytes of the reader's own at once (unsolicited output).
    void send(const std::string &bytes);

private:
    void onReadable();
    void writeDue();
    void stopWatching();

    ReaderSimChannel channel_;
    // Declared last: destroyed first, so no notification reaches the members above.
    QSocketNotifier readNotifier_;
    QSocketNotifier writeNotifier_;
    QTimer timer_;
};

} // namespace testsupport
