#pragma once
// The progress window of a download: bytes done of bytes in all, a bar from 0 to 100 and an Abort button that
// calls the library's abort hook. One exists at a time, from ShowProgress to HideProgress.

#include "TRSProtocol.h"

#include <QWidget>

#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

class TProgForm : public QWidget {
    Q_OBJECT
public:
    explicit TProgForm(QWidget *owner);

    void AbortBtnClick();

    QLabel *TitLabel;
    QProgressBar *Bar;
    QPushButton *AbortBtn;

protected:
    void closeEvent(QCloseEvent *event) override;   // the user cannot close it
};

// The progress window while it is shown, else nullptr.
extern TProgForm *ProgForm;

// Shows a new progress window in front of the owner; its Abort button is enabled when an abort hook is set now.
void ShowProgress(QWidget *owner, const std::string &caption, int minimum, int maximum);
void SetProgress(int position);
// The bar at done of all in percent (rounded), "done/all" in the label, painted at once.
void ReportProgress(int64_t done, int64_t all);
void HideProgress();
