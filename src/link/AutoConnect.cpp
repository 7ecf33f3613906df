// Auto-connect: find the line settings the reader answers at.

#include "AutoScan.h"
#include "ReaderLink.h"

#include <QApplication>

namespace {
constexpr int32_t kQuickTryTicks = 5;
}

bool TCommDM::AutoConnect()
{
    const TLineSetting saved {ComPort.Baud(), ComPort.Parity(), ComPort.DataBits(), ComPort.StopBits()};

    SetLine(9600, TParity::pNone, 8, 1);
    bool answered;
    try {
        answered = EnterHostCmd(kQuickTryTicks);
    } catch (...) {
        // A port that closed or was lost keeps the settings it had, for its next open.
        SetLine(saved.Baud, saved.Parity, saved.DataBits, saved.StopBits);
        UpdatePort();
        throw;
    }
    if (answered) {
        UpdatePort();
        return true;
    }

    TAutoForm form(*this, QApplication::activeWindow());
    form.exec();
    const TLineSetting line = form.Found() ? form.FoundSetting() : saved;
    SetLine(line.Baud, line.Parity, line.DataBits, line.StopBits);
    UpdatePort();
    return form.Found();
}
