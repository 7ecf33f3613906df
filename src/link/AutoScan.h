#pragma once
// The auto-connect scan: tries line settings until the reader answers the enter-host command, showing the
// setting under test on six seven-segment digits and a few status lights.

#include "serial/SerPort.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <vector>

class QPushButton;
class TCommDM;
class TLed;
class TSerStatusLight;

struct TLineSetting {
    int32_t Baud = 0;
    TParity Parity = TParity::pNone;
    uint16_t DataBits = 8;
    uint16_t StopBits = 1;
    bool operator==(const TLineSetting &) const = default;
};

// The settings tried, in order: each rate of the list (rates that are not positive are skipped), parity none,
// odd, even, then 8 and 7 data bits, then 1 and 2 stop bits.
std::vector<TLineSetting> AutoScanOrder(const int32_t *rates, int count);

// The five leading digits of a rate as the dialog shows it (-1 for a blank); the sixth digit is always 0.
std::array<int, 5> RateDigits(int32_t rate);

class TAutoForm : public QDialog {
    Q_OBJECT
public:
    TAutoForm(TCommDM &link, QWidget *parent = nullptr);

    bool Found() const { return found_; }
    TLineSetting FoundSetting() const { return foundSetting_; }

    std::array<TLed *, 6> Leds {};
    TSerStatusLight *ParNone, *ParOdd, *ParEven, *Data7, *Data8, *Stop1, *Stop2;
    QPushButton *AbortBtn;

public slots:
    void AbortBtnClick();
    // Esc and the close box abort a running scan; they never just hide the dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Scan();
    void ShowSetting(const TLineSetting &setting);
    void ShowFound();

    TCommDM &link_;
    int lastParity_ = -1, lastData_ = -1, lastStop_ = -1, lastBaud_ = -1;
    TLineSetting foundSetting_;
    bool aborted_ = false;
    bool found_ = false;
    bool started_ = false;
    bool scanning_ = false;
};
