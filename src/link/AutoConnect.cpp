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
    if (EnterHostCmd(kQuickTryTicks)) {
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
