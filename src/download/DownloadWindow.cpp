#include "DownloadWindow.h"

#include "DropButtons.h"
#include "platform/qt/ScreenPlacement.h"
#include "common/ByteDisplay.h"
#include "common/Wrn.h"
#include "platform/ErrorReport.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/FileNameText.h"
#include "platform/qt/Guarded.h"
#include "serial/SerStatusLight.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <thread>

namespace {

constexpr int MaxLogLines = 200;
constexpr int32_t HostModeTicks = 18;
const std::string CrLf = "\r\n";

// Black with bold lime text; the scroll bars keep their own look.
void PaintBlackLime(QWidget *widget)
{
    widget->setStyleSheet(QString("%1 { background-color: black; color: lime; font-weight: bold; }")
                              .arg(widget->metaObject()->className()));
}

// The status panel and the version label show one line: the line breaks of a reply are left out.
QString OneLine(const std::string &text)
{
    std::string line;
    for (char c : text)
        if (c != '\r' && c != '\n')
            line += c;
    return FromCp1252(line);
}

QPushButton *CommandButton(const char *caption, bool enabled)
{
    auto *button = new QPushButton(caption);
    button->setEnabled(enabled);
    button->setFixedHeight(24);
    return button;
}

// Narrow margins, so that the controls fit the window's fixed size.
template <class Layout>
Layout *compactGroup(Layout *layout)
{
    layout->setContentsMargins(6, 2, 6, 4);
    return layout;
}

} // namespace

TTRSForm::TOperation::TOperation(TTRSForm &form) : form_(form) { ++form_.operations_; }

TTRSForm::TOperation::~TOperation()
{
    if (--form_.operations_ == 0 && form_.pendingClose_) {
        const int result = *form_.pendingClose_;
        form_.pendingClose_.reset();
        QTimer::singleShot(0, &form_, [form = &form_, result] { form->done(result); });
    }
}

TTRSForm::TTRSForm(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle("TARSEL");
    buildControls();
    ComPort.SetOutSize(16384);
    ComPort.SetUseEventWord(false);
    ComPort.SetCommNotificationLevel(1);
    ComPort.SetOnWaitChar([this](TSerCustomComPort &, char c) { ComPortWaitChar(c); });
    ComPort.RegisterUserCallback(this, [this](TSerCustomComPort &port, bool opening) {
        if (!opening && !port.LostDevice().empty())
            ComPortDeviceLost();
    });
    Setup = std::make_unique<TTRSSetup>();
}

TTRSForm::~TTRSForm()
{
    ComPort.DeregisterUserCallback(this);
    Setup.reset();
}

void TTRSForm::ComPortDeviceLost()
{
    // The port has closed itself; a step under way ends with the port's error at its next call.
    Connected = false;
    for (TSerStatusLight *light : {PortLed, DevLed, LoaderLed})
        light->SetLit(false);
    const QSignalBlocker quiet(PortCheck);
    PortCheck->setChecked(false);
    SetCommandsEnabled(false);
    Log("Device lost: " + ComPort.LostDevice());
    ShowStatus("DEVICE LOST!");
}

void TTRSForm::buildControls()
{
    body_ = new QWidget;
    auto *columns = new QHBoxLayout(body_);
    columns->setContentsMargins(4, 2, 4, 2);
    columns->setSpacing(4);

    auto *left = new QVBoxLayout;
    HostGroup = new QGroupBox("Status");
    Display = new QLabel(" NOT CONNECTED");
    PaintBlackLime(Display);
    compactGroup(new QVBoxLayout(HostGroup))->addWidget(Display);
    LogGroup = new QGroupBox("Log");
    LogMemo = new QPlainTextEdit;
    LogMemo->setReadOnly(true);
    LogMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);   // no horizontal scroll bar: the window keeps its size
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PaintBlackLime(LogMemo);
    compactGroup(new QVBoxLayout(LogGroup))->addWidget(LogMemo);
    left->setSpacing(2);
    left->addWidget(HostGroup);
    left->addWidget(LogGroup, 1);

    auto *right = new QVBoxLayout;
    right->setSpacing(2);
    auto group = [&](QGroupBox *&box, const char *title, QLabel *&label, const char *text, TSerStatusLight *&light) {
        box = new QGroupBox(title);
        auto *row = compactGroup(new QHBoxLayout(box));
        label = new QLabel(text);
        light = new TSerStatusLight(box);
        row->addWidget(label, 1);
        row->addWidget(light);
        right->addWidget(box);
    };
    group(PortGroup, "Port", PortLabel, "Status", PortLed);
    PortLed->SetNotLitColor(QApplication::palette().color(QPalette::Button));
    PortCheck = new QCheckBox("Port", PortGroup);
    PortCheck->hide();
    group(DevGroup, "Device", DevLabel, "", DevLed);
    group(GroupBox1, "Resident program", ResLabel, "", LoaderLed);

    ConnBtn = CommandButton("&Connect", true);
    EraseBtn = CommandButton("&Erase", false);
    DownLoadBtn = CommandButton("&Download", false);
    MRUBtn = new TDropSpeedButton;
    MRUBtn->setFixedSize(16, 24);
    MRUBtn->setToolTip("Recent downloads");
    MRUBtn->setEnabled(false);
    MRUMenu = new TPopupMenu(this);
    MRUMenu->Alignment = TPopupAlignment::paRight;
    MRUMenu->OnPopup = [this] { MRUMenuPopup(); };
    MRUBtn->SetDropDownMenu(MRUMenu);
    ExitBtn = CommandButton("E&xit", true);
    AbortBtn = CommandButton("Abort", true);
    AbortBtn->hide();
    right->addWidget(ConnBtn);
    right->addWidget(EraseBtn);
    auto *download = new QHBoxLayout;
    download->setSpacing(0);
    download->addWidget(DownLoadBtn, 1);
    download->addWidget(MRUBtn);
    right->addLayout(download);
    right->addWidget(ExitBtn);
    right->addWidget(AbortBtn);
    right->addStretch();

    columns->addLayout(left, 1);
    columns->addLayout(right);

    StatusBar = new QStatusBar;
    StatusBar->setSizeGripEnabled(false);
    auto *version = new QLabel("v. 2.00 - July 16, 2002");
    version->setFixedWidth(180);
    auto *second = new QLabel;
    second->setFixedWidth(50);
    StatusBar->addWidget(version);
    StatusBar->addWidget(second);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(body_, 1);
    layout->addWidget(StatusBar);
    setFixedSize(388, 267);

    // The components answer to their names, for whoever looks the window over from outside.
    const std::pair<QObject *, const char *> names[] = {
        {HostGroup, "HostGroup"}, {Display, "Display"},     {LogGroup, "LogGroup"},       {LogMemo, "LogMemo"},
        {PortGroup, "PortGroup"}, {PortLabel, "PortLabel"}, {PortLed, "PortLed"},         {DevGroup, "DevGroup"},
        {DevLabel, "DevLabel"},   {DevLed, "DevLed"},       {GroupBox1, "GroupBox1"},     {ResLabel, "ResLabel"},
        {LoaderLed, "LoaderLed"}, {ConnBtn, "ConnBtn"},     {EraseBtn, "EraseBtn"},       {DownLoadBtn, "DownLoadBtn"},
        {MRUBtn, "MRUBtn"},       {ExitBtn, "ExitBtn"},     {AbortBtn, "AbortBtn"},       {PortCheck, "PortCheck"},
        {StatusBar, "StatusBar"}, {MRUMenu, "MRUMenu"},
    };
    for (const auto &[object, name] : names)
        object->setObjectName(name);

    connect(ConnBtn, &QPushButton::clicked, this, Guarded([this] { ConnBtnClick(); }));
    connect(EraseBtn, &QPushButton::clicked, this, Guarded([this] { EraseBtnClick(); }));
    connect(DownLoadBtn, &QPushButton::clicked, this, Guarded([this] { DownLoadBtnClick(); }));
    connect(ExitBtn, &QPushButton::clicked, this, Guarded([this] { ExitBtnClick(); }));
    connect(AbortBtn, &QPushButton::clicked, this, Guarded([this] { AbortBtnClick(); }));
    connect(PortCheck, &QCheckBox::toggled, this, Guarded([this] { PortCheckClick(); }));
}

// ---- Device and port ----

void TTRSForm::SelectDevice(const std::string &name)
{
    if (name == Setup->DeviceName.str())
        return;
    Setup->LoadDevice(name);
    DevLabel->setText(FromCp1252(Setup->DeviceName.str()));
    setWindowTitle(FromCp1252(Setup->Title.str()));
}

void TTRSForm::SetPort(int32_t number, const std::string &settings)
{
    PortNumber = number;
    const TLineSettings caller = TTRSSetup::ParseSettings(Cut(settings, 50));
    CallerBaud = caller.Baud;
    CallerParity = caller.Parity;
    CallerDataBits = caller.DataBits;
    CallerStopBits = caller.StopBits;
    PortLabel->setText("COM" + QString::number(number));
}

void TTRSForm::OpenPort()
{
    ComPort.SetComNumber(uint16_t(PortNumber));
    ComPort.SetBaud(CallerBaud);
    ComPort.SetParity(TParity(CallerParity));
    ComPort.SetDataBits(CallerDataBits);
    ComPort.SetStopBits(CallerStopBits);
    ComPort.SetOpen(true);
    PortLed->SetLit(true);
    PortCheck->setChecked(ComPort.Open());
}

void TTRSForm::ClosePort()
{
    Connected = false;
    PortLed->SetLit(false);
    LetOutputLeave();
    ComPort.SetOpen(false);
}

void TTRSForm::LetOutputLeave()
{
    if (ComPort.PortState() != TPortState::PortOpen)
        return;   // nothing is on its way, for instance after the device was lost
    WaitOutputSent(false);
    // The device may still hold the last characters when the queue is empty: the time of 18 more.
    const int64_t baud = ComPort.Baud() > 0 ? ComPort.Baud() : 115200;
    std::this_thread::sleep_for(std::chrono::microseconds(18 * 11 * 1000000 / baud + 1000));
}

void TTRSForm::ApplyDefSettings()
{
    ComPort.SetBaud(Setup->LoaderBaud);
    ComPort.SetParity(TParity(Setup->LoaderParity));
    ComPort.SetDataBits(Setup->LoaderDataBits);
    ComPort.SetStopBits(Setup->LoaderStopBits);
}

void TTRSForm::PortCheckClick()
{
    ComPort.SetOpen(PortCheck->isChecked());
    PortLed->SetLit(ComPort.Open());
}

// ---- Status and log ----

void TTRSForm::ShowStatus(const std::string &text) { Display->setText(OneLine(" " + text)); }

void TTRSForm::AddLogLine(const std::string &line)
{
    const QString text = FromCp1252(Cut(BytesToDisplay(Cut(line, 255), " "), 255));
    if (logLines_ == 0)
        LogMemo->setPlainText(text);
    else
        LogMemo->appendPlainText(text);
    ++logLines_;
}

void TTRSForm::DropOldestLogLine()
{
    if (logLines_ == 1) {
        LogMemo->clear();
    } else {
        QTextCursor cursor(LogMemo->document()->firstBlock());
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    --logLines_;
}

void TTRSForm::LimitLog()
{
    if (logLines_ < MaxLogLines)
        return;
    LogMemo->setUpdatesEnabled(false);
    DropOldestLogLine();
    LogMemo->setUpdatesEnabled(true);
}

void TTRSForm::AppendToLogLine(const std::string &text)
{
    if (logLines_ == 0) {
        AddLogLine(text);
        return;
    }
    QTextCursor cursor(LogMemo->document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText(FromCp1252(BytesToDisplay(text, " ")));
}

void TTRSForm::Log(const std::string &line)
{
    LimitLog();
    AddLogLine(line);
}

void TTRSForm::LogLines(const std::string &text)
{
    LimitLog();
    std::string rest = Cut(Trim(text), 255);
    while (!rest.empty()) {
        const std::size_t cr = rest.find('\r');
        AddLogLine(rest.substr(0, cr));
        rest = cr == std::string::npos ? std::string() : Trim(rest.substr(cr + 1));
    }
}

// ---- Sending and waiting ----

void TTRSForm::WaitOutputSent(bool tickSteps)
{
    if (tickSteps) {
        while (ComPort.OutBuffUsed() != 0 && !QuitRequested())
            DelayTicks(1, true);
        return;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    while (ComPort.OutBuffUsed() != 0 && !QuitRequested()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void TTRSForm::SendString(const std::string &bytes)
{
    ComPort.PutString(bytes);
    Log("  TX: " + bytes);
    if (ComPort.Baud() <= 1200)
        WaitOutputSent(true);
}

void TTRSForm::ComPortWaitChar(char c)
{
    if (RxText.size() < RxText.capacity)
        RxText = RxText.str() + c;
}

bool TTRSForm::WaitAnswer(const std::string &expected, int32_t ticks, std::size_t maxLength, std::string *reply)
{
    RxText = "";
    const bool matched = ComPort.WaitForString(Cut(expected, 80), ticks, true, true);
    if (matched)
        Log("  RX: " + RxText.str());
    if (reply)
        *reply = Cut(RxText.str(), maxLength);
    return matched;
}

// ---- Connect procedure ----

bool TTRSForm::EnterHostMode(int32_t ticks)
{
    SendString("\x1B[C");
    return WaitAnswer("\x1BH\r\n", ComPort.Baud() <= 300 ? 2 * ticks : ticks);
}

bool TTRSForm::LeaveHostMode(int32_t ticks)
{
    SendString("\x1B[A");
    return WaitAnswer("\x1BX\r\n", ticks);
}

bool TTRSForm::TryHostMode()
{
    bool entered = EnterHostMode(HostModeTicks);
    if (AbortRequested)
        return entered;
    if (!entered) {
        const bool left = LeaveHostMode(HostModeTicks);
        if (AbortRequested)
            return entered;
        if (left) {
            entered = EnterHostMode(HostModeTicks);
            if (AbortRequested)
                return entered;
        }
    }
    for (int retry = 0; retry < 2 && !entered; ++retry) {
        entered = EnterHostMode(HostModeTicks);
        if (AbortRequested)
            return entered;
    }
    if (entered)
        DelayTicks(9, true);
    else
        LeaveHostMode(HostModeTicks);
    return entered;
}

bool TTRSForm::SendCRs()
{
    if (Trim(Setup->CRAnswer).empty())
        return true;
    Log("Sending <CR>");
    bool answered = false;
    int passes = 0;
    do {
        ComPort.PutChar('\r');
        AppendToLogLine(" .");
        RxText = "";
        if (Setup->Echo)
            ComPort.WaitForString(CrLf, Setup->CRTicks, true, true);
        answered = ComPort.WaitForString(Setup->CRAnswer, Setup->CRTicks, true, true);
        if (answered)
            Log("  RX: " + RxText.str());
        ++passes;
    } while (!answered && passes < Setup->CRMax && !AbortRequested);
    return answered;
}

void TTRSForm::Connect()
{
    AbortRequested = false;
    AbortBtn->show();
    ShowStatus("CONNECTING...");
    OpenPort();
    Connected = false;
    Log("Trying to enter host mode...");
    if (TryHostMode()) {
        Log("Quitting resident application...");
        SendString("\x1B[Q");
        WaitOutputSent(false);
        DelayTicks(4, true);
    }
    if (!AbortRequested) {
        Log("Setting port to " + Setup->DefSettings.str() + "...");
        ApplyDefSettings();
    }
    bool answered = false;
    for (int attempt = 1; attempt <= 2 && !AbortRequested && !answered; ++attempt) {
        answered = SendCRs();
        if (answered) {
            DevLed->SetLit(true);
        } else if (!AbortRequested) {
            const std::string &message = attempt == 1 ? Setup->ErrMsg1.str() : Setup->ErrMsg2.str();
            ShowWarning(message);
            LogLines(attempt == 1 ? message + "." : message);
        }
    }
    if (answered) {
        ShowStatus("CONNECTED!");
        Connected = true;
    } else {
        Log("");
        Log(AbortRequested ? "CONNECTION ABORTED!" : "CONNECTION FAILED!");
        ShowStatus("NOT CONNECTED");
    }
    ComPort.FlushInBuffer();
    AbortBtn->hide();
}

void TTRSForm::SetCommandsEnabled(bool enabled)
{
    for (QWidget *command : {static_cast<QWidget *>(EraseBtn), static_cast<QWidget *>(DownLoadBtn),
                             static_cast<QWidget *>(MRUBtn)})
        command->setEnabled(enabled);
}

void TTRSForm::ConnBtnClick()
{
    TOperation operation(*this);
    ConnBtn->setEnabled(false);
    ExitBtn->setEnabled(false);
    SetCommandsEnabled(false);
    {
        struct Restore {
            TTRSForm &form;
            ~Restore()
            {
                form.ExitBtn->setEnabled(true);
                form.ConnBtn->setEnabled(true);
                form.AbortBtn->hide();
            }
        } restore {*this};
        Connect();
    }
    if (Connected) {
        GetVersion();
        LoaderLed->SetLit(true);
        SetCommandsEnabled(true);
    }
}

void TTRSForm::GetVersion()
{
    if (Trim(Setup->VerCmd).empty())
        return;
    Log("Getting resident program version...");
    VersionText = LoaderCommand(Setup->VerCmd);
    ShowStatus("CONNECTED - " + UpperCase(VersionText.str()));
    ResLabel->setText(OneLine(VersionText));
}

void TTRSForm::EraseBtnClick()
{
    TOperation operation(*this);
    if (AskYesNo("Do you really want to erase the EEPROM?"))
        EraseEEPROM();
}

void TTRSForm::EraseEEPROM()
{
    Log("Erasing EEPROM...");
    ShowStatus("ERASING EEPROM...");
    ShowStatus(UpperCase(LoaderCommand(Setup->EraseCmd)));
}

std::string TTRSForm::LoaderCommand(const std::string &command)
{
    SendString(command);
    if (Setup->Echo)
        WaitAnswer(CrLf, HostModeTicks);
    std::string reply;
    WaitAnswer(CrLf, HostModeTicks, 255, &reply);
    return reply;
}

void TTRSForm::AbortBtnClick() { AbortRequested = true; }

// ---- Recent files and the file dialog ----

void TTRSForm::DownLoadBtnClick()
{
    TOperation operation(*this);
    FileDialogRequest request;
    request.title = "Open";
    request.filter = Setup->OpenFilter;
    if (std::optional<std::string> file = Ui().OpenFileName(request))
        DownloadFile(*file);
}

void TTRSForm::MRUMenuPopup()
{
    Setup->LoadMRU();
    MRUMenu->clear();
    for (const std::string &file : Setup->MRUList) {
        QAction *item = MRUMenu->addAction(FromFileName(file).replace('&', "&&"));
        // Runs once the menu has closed.
        connect(item, &QAction::triggered, this, Guarded([this, file] { MRUItemClick(file); }), Qt::QueuedConnection);
    }
}

void TTRSForm::MRUItemClick(const std::string &caption)
{
    TOperation operation(*this);
    const std::string file = Trim(caption);
    if (FileExistsCi(file))
        DownloadFile(file);
    else
        ShowWarning("File " + file + " not found!");
}

// ---- Showing and closing ----

void TTRSForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    CenterOnScreen(*this);
    ReportErrors([this] { FormShow(); });
}

void TTRSForm::FormShow()
{
    TOperation operation(*this);
    if (Setup->NoConnect) {
        OpenPort();
        ApplyDefSettings();
        Log("Setting port to " + Setup->DefSettings.str() + "...");
        Connected = true;
        ConnBtn->setEnabled(false);
        SetCommandsEnabled(true);
    }
    LogLines(Setup->StartMsg);
}

void TTRSForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->ignore();   // the window has no cancel button
        return;
    }
    QDialog::keyPressEvent(event);
}

void TTRSForm::ExitBtnClick() { accept(); }

void TTRSForm::done(int result)
{
    if (closing_)
        return;
    if (operations_ > 0) {
        pendingClose_ = result;
        return;
    }
    closing_ = true;
    // The window closes even when the port fails meanwhile; the failure is reported.
    ReportErrors([this] { FormClose(); });
    QDialog::done(result);
}

void TTRSForm::FormClose()
{
    TOperation operation(*this);
    ExitBtn->setEnabled(false);
    SetCommandsEnabled(false);
    Terminate();
    ClosePort();
}

void TTRSForm::Terminate()
{
    ShowStatus("TERMINATING...");
    if (Connected) {
        SendString(Setup->RunCmd);
        if (!Trim(Setup->RunAnswer).empty()) {
            Log("Waiting for \"" + Setup->RunAnswer.str() + "\"...");
            WaitAnswer(Setup->RunAnswer, Setup->RunTimeout);
        }
    }
    if (ComPort.Open())
        ComPort.FlushInBuffer();
    ComPort.SetBaud(CallerBaud);
    ComPort.SetParity(TParity(CallerParity));
    ComPort.SetDataBits(CallerDataBits);
    ComPort.SetStopBits(CallerStopBits);
}
