#include "AutoScan.h"

#include "platform/qt/DesignSize.h"
#include "platform/qt/ScreenPlacement.h"

#include "ReaderLink.h"
#include "SevenSegmentDigit.h"
#include "model/Settings.h"
#include "platform/ErrorReport.h"
#include "platform/ScopedFlag.h"
#include "serial/SerExcept.h"
#include "serial/SerMisc.h"
#include "serial/SerStatusLight.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kFoundPauseTicks = 9;
const QColor kFoundColor(0x00, 0x80, 0x00);

TSerStatusLight *addLight(QHBoxLayout *row, const char *label)
{
    auto *light = new TSerStatusLight;
    light->SetNotLitColor(QApplication::palette().color(QPalette::Button));
    row->addWidget(light);
    row->addWidget(new QLabel(label));
    return light;
}

QGroupBox *lightGroup(const char *title, QHBoxLayout *&row)
{
    auto *group = new QGroupBox(title);
    row = new QHBoxLayout(group);
    row->setContentsMargins(2, 0, 2, 2);
    row->setSpacing(2);
    return group;
}

} // namespace

std::vector<TLineSetting> AutoScanOrder(const int32_t *rates, int count)
{
    std::vector<TLineSetting> order;
    for (int i = 0; i < count; ++i) {
        if (rates[i] <= 0) continue;
        for (TParity parity : {TParity::pNone, TParity::pOdd, TParity::pEven})
            for (uint16_t data : {8, 7})
                for (uint16_t stop : {1, 2}) order.push_back({rates[i], parity, data, stop});
    }
    return order;
}

std::array<int, 5> RateDigits(int32_t rate)
{
    static constexpr int32_t kRates[] = {150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    std::array<int, 5> digits {-1, -1, -1, -1, -1};
    for (int32_t known : kRates) {
        if (known != rate) continue;
        int32_t leading = rate / 10;
        for (int i = 4; i >= 0 && leading > 0; --i, leading /= 10) digits[std::size_t(i)] = leading % 10;
    }
    return digits;
}

TAutoForm::TAutoForm(TCommDM &link, QWidget *parent) : QDialog(parent), link_(link)
{
    setWindowTitle(QStringLiteral("AutoConnect - %1").arg(Settings.AutoMode == 1 ? "Slow" : "Fast"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    QFont designFont = font();   // the design's 8 point form font, so the controls fit its client area
    designFont.setPointSize(8);
    setFont(designFont);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 4);
    layout->setSpacing(2);
    auto *baudGroup = new QGroupBox(QStringLiteral("Baud Rate"));
    auto *bevel = new QFrame;
    bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *digits = new QHBoxLayout(bevel);
    digits->setSpacing(0);
    digits->setContentsMargins(3, 3, 3, 3);
    for (TLed *&led : Leds) {
        led = new TLed;
        led->setFixedSize(19, 33);
        led->SetBackColor(QApplication::palette().color(QPalette::Button));
        led->SetForeColor(Qt::red);
        led->SetValue(-1);
        digits->addWidget(led);
    }
    auto *baud = new QVBoxLayout(baudGroup);
    baud->setContentsMargins(4, 0, 4, 2);
    baud->addWidget(bevel, 0, Qt::AlignHCenter);
    layout->addWidget(baudGroup);

    QHBoxLayout *row = nullptr;
    layout->addWidget(lightGroup("Parity", row));
    ParNone = addLight(row, "None");
    ParOdd = addLight(row, "Odd");
    ParEven = addLight(row, "Even");
    layout->addWidget(lightGroup("Data Bits", row));
    Data7 = addLight(row, "7");
    Data8 = addLight(row, "8");
    layout->addWidget(lightGroup("Stop Bits", row));
    Stop1 = addLight(row, "1");
    Stop2 = addLight(row, "2");

    AbortBtn = new QPushButton(QStringLiteral("Abort"));
    connect(AbortBtn, &QPushButton::clicked, this, &TAutoForm::AbortBtnClick);
    layout->addWidget(AbortBtn, 0, Qt::AlignHCenter);
    FixDialogSize(*this, {145, 220});
    CenterOnScreen(*this);
}

void TAutoForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The scan runs once, after the dialog has painted; activating the dialog again does not restart it.
    if (started_) return;
    started_ = true;
    QTimer::singleShot(0, this, [this] {
        ReportErrors([this] { Scan(); });   // the dialog closes whatever happened
        QMetaObject::invokeMethod(this, [this] { done(found_ ? Accepted : Rejected); }, Qt::QueuedConnection);
    });
}

void TAutoForm::AbortBtnClick()
{
    QApplication::beep();
    aborted_ = true;
}

void TAutoForm::reject()
{
    if (scanning_ || !started_)
        AbortBtnClick();
    else
        QDialog::reject();
}

void TAutoForm::ShowSetting(const TLineSetting &s)
{
    if (s.Baud != lastBaud_) {
        const auto digits = RateDigits(s.Baud);
        for (std::size_t i = 0; i < digits.size(); ++i) Leds[i]->SetValue(digits[i]);
        Leds[5]->SetValue(0);
        lastBaud_ = s.Baud;
    }
    if (int(s.Parity) != lastParity_) {
        ParNone->SetLit(s.Parity == TParity::pNone);
        ParOdd->SetLit(s.Parity == TParity::pOdd);
        ParEven->SetLit(s.Parity == TParity::pEven);
        lastParity_ = int(s.Parity);
    }
    const int dataIndex = s.DataBits == 8 ? 1 : 0;
    if (dataIndex != lastData_) {
        Data7->SetLit(dataIndex == 0);
        Data8->SetLit(dataIndex == 1);
        lastData_ = dataIndex;
    }
    const int stopIndex = s.StopBits == 2 ? 1 : 0;
    if (stopIndex != lastStop_) {
        Stop1->SetLit(stopIndex == 0);
        Stop2->SetLit(stopIndex == 1);
        lastStop_ = stopIndex;
    }
}

void TAutoForm::ShowFound()
{
    for (TLed *led : Leds) led->SetForeColor(kFoundColor);
    for (TSerStatusLight *light : {ParNone, ParOdd, ParEven, Data7, Data8, Stop1, Stop2}) light->SetLitColor(kFoundColor);
}

void TAutoForm::Scan()
{
    ScopedFlag scanning(scanning_);
    aborted_ = found_ = false;
    lastParity_ = lastData_ = lastStop_ = lastBaud_ = -1;
    const int32_t timeout = Settings.DefTimeout / 4;
    if (!link_.ComPort.Open()) {
        link_.ComPort.SetComNumber(uint16_t(Settings.Port));
        link_.ComPort.SetOpen(true);
    }
    for (const TLineSetting &s : AutoScanOrder(Settings.AutoBaud.data(), Settings.AutoBaudCount)) {
        // A port closed or lost meanwhile ends the scan, nothing found; the caller's next step reports why.
        if (!link_.ComPort.Open()) return;
        ShowSetting(s);
        bool answered = false;
        try {
            link_.SetLine(s.Baud, s.Parity, s.DataBits, s.StopBits);
            answered = link_.EnterHostCmd(timeout);
        } catch (const ESerException &) {
            // A setting the device refuses counts as unanswered.
        }
        if (aborted_ || link_.AbortConnect || QuitRequested()) return;
        if (answered) {
            ShowFound();
            AbortBtn->setEnabled(false);
            QApplication::beep();
            DelayTicks(kFoundPauseTicks, true);
            foundSetting_ = s;
            found_ = true;
            return;
        }
        if (Settings.AutoMode == 1 && link_.ComPort.Open()) link_.ExitHostCmd(timeout);
    }
}
