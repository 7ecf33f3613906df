#include "ProgressWindow.h"

#include "platform/qt/DesignSize.h"
#include "platform/qt/ScreenPlacement.h"
#include "platform/Text.h"
#include "platform/qt/FileNameText.h"
#include "platform/qt/Guarded.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

TProgForm *ProgForm = nullptr;

TProgForm::TProgForm(QWidget *owner) : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle("Wait...");
    TitLabel = new QLabel;
    TitLabel->setAlignment(Qt::AlignCenter);
    TitLabel->setFixedWidth(ScaledToFont(201, *TitLabel));
    Bar = new QProgressBar;
    Bar->setRange(0, 100);
    Bar->setValue(0);
    Bar->setTextVisible(false);
    AbortBtn = new QPushButton("Abort");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(TitLabel, 0, Qt::AlignHCenter);
    layout->addWidget(Bar);
    layout->addWidget(AbortBtn, 0, Qt::AlignHCenter);
    FixDialogSize(*this, {218, 91});
    connect(AbortBtn, &QPushButton::clicked, this, Guarded([this] { AbortBtnClick(); }));
}

void TProgForm::AbortBtnClick()
{
    if (!AbortHook)
        return;
    AbortHook();
    AbortBtn->setEnabled(false);
    setWindowTitle("Abort received, please wait...");
}

void TProgForm::closeEvent(QCloseEvent *event) { event->ignore(); }

void ShowProgress(QWidget *owner, const std::string &caption, int minimum, int maximum)
{
    HideProgress();
    ProgForm = new TProgForm(owner);
    ProgForm->AbortBtn->setEnabled(AbortHook != nullptr);
    ProgForm->setWindowTitle(FromTextWithFileNames(Cut(caption, 80)));
    ProgForm->Bar->setRange(minimum, maximum);
    ProgForm->Bar->setValue(minimum);
    CenterOnScreen(*ProgForm);
    ProgForm->show();
    // Painted whole before the transfer starts: an outside driver may hold the thread until its first callback.
    // Only the window system's events: no input, and no timer that could start anything meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers);
    ProgForm->repaint();
}

void SetProgress(int position)
{
    if (ProgForm)
        ProgForm->Bar->setValue(position);
}

void ReportProgress(int64_t done, int64_t all)
{
    if (!ProgForm)
        return;
    if (all > 0)
        SetProgress(int(std::lround(double(done) * 100.0 / double(all))));
    ProgForm->TitLabel->setText(QString::number(done) + '/' + QString::number(all));
    ProgForm->TitLabel->repaint();
}

void HideProgress()
{
    delete ProgForm;
    ProgForm = nullptr;
}
