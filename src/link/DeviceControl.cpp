#include "DeviceControl.h"

#include "ReaderLink.h"
#include "TerminalWindow.h"
#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "common/IncidentalStep.h"
#include "common/Wrn.h"
#include "model/ConfigDump.h"
#include "model/Edition.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/DesignSize.h"
#include "platform/qt/Guarded.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TCommForm *CommForm = nullptr;
int ClientRight = 0;

namespace {

const char *const kSevenBitWarning =
    "A 7-bit data size has been detected for the serial interface connection\r\n"
    "between Corvane and the scanner.\r\n"
    "This could cause some configuration parameters to be incorrectly set.\r\n"
    "To assure proper configuration, select an 8-bit data size for the serial\r\n"
    "interface connection between Corvane and the scanner.";

constexpr int kLogLines = 200;
constexpr QSize kClientSize(205, 328);

void compactGroup(QLayout *layout) { layout->setContentsMargins(4, 2, 4, 4); }

QToolButton *commandButton(const char *caption, const char *hint, bool checkable = false)
{
    auto *b = new QToolButton;
    b->setText(caption);
    b->setToolTip(hint);
    b->setCheckable(checkable);
    b->setAutoRaise(false);
    b->setEnabled(false);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return b;
}

void setLabelColours(QWidget *w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::WindowText, QColor(0x00, 0xFF, 0x00));
    p.setColor(QPalette::Text, QColor(0x00, 0xFF, 0x00));
    w->setPalette(p);
    w->setAutoFillBackground(true);
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
}

} // namespace

TCommForm::TCommForm(QWidget *parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(EditionCode == 2 ? "Reader Control" : "Device Control");
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    buildControls();
    buildMenu();
    ConnTimer = new QTimer(this);
    ConnTimer->setSingleShot(true);
    ConnTimer->setInterval(1000);
    connect(ConnTimer, &QTimer::timeout, this, Guarded([this] { ConnTimerTimer(); }));
    connect(this, &QMdiSubWindow::aboutToActivate, this, Guarded([this] { ShowPortCaption(); }));

    Lights.SetComPort(&CommDM->ComPort);
    Lights.Lights().TXDLight = TxLed;
    Lights.Lights().RXDLight = RxLed;

    UpdatePort();
    LogBtn->setChecked(false);
    DisableCommands();
    SetupCustomButtons();
    // Registered last: a window whose creation failed is never reached through the link.
    CommForm = this;
    CommDM->CommView = this;
    if (CommDM->MainView) CommDM->MainView->CommViewCreated();
}

TCommForm::~TCommForm()
{
    if (CommDM) {
        CommDM->Interactive = false;
        if (CommDM->CommView == this) CommDM->CommView = nullptr;
    }
    if (CommForm == this) CommForm = nullptr;
}

void TCommForm::buildControls()
{
    body_ = new QWidget;
    auto *layout = new QVBoxLayout(body_);
    layout->setContentsMargins(3, 2, 3, 3);
    layout->setSpacing(2);

    HostGroup = new QGroupBox(EditionCode == 2 ? "Reader" : "Device");
    DisplayPanel = new QLabel(" NOT CONNECTED");
    DisplayPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLabelColours(DisplayPanel);
    auto *host = new QVBoxLayout(HostGroup);
    compactGroup(host);
    // Kept at the bottom of a group of constant height: clearing the title moves nothing.
    host->addWidget(DisplayPanel, 0, Qt::AlignBottom);
    HostGroup->setFixedHeight(HostGroup->sizeHint().height());
    layout->addWidget(HostGroup);

    PortGroup = new QGroupBox("Port");
    auto *port = new QHBoxLayout(PortGroup);
    compactGroup(port);
    port->setSpacing(4);   // the light stands 4 pixels right of its label
    PortLabel = new QLabel("Status");
    PortLed = new TSerStatusLight;
    TxLed = new TSerStatusLight;
    RxLed = new TSerStatusLight;
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (TSerStatusLight *light : {PortLed, TxLed, RxLed}) light->SetNotLitColor(face);
    port->addWidget(PortLabel);
    port->addWidget(PortLed);
    port->addWidget(new QLabel("TX"));
    port->addWidget(TxLed);
    port->addWidget(new QLabel("RX"));
    port->addWidget(RxLed);
    port->addStretch();
    ConnBtn = new QPushButton("Connect");
    ConnBtn->setToolTip("Connect to device");
    ShrinkableToText(*ConnBtn);
    port->addWidget(ConnBtn);
    layout->addWidget(PortGroup);

    CmdGroup = new QGroupBox("Commands");
    auto *cmds = new QGridLayout(CmdGroup);
    compactGroup(cmds);
    cmds->setSpacing(2);
    GetCfgBtn = EditionCode == 2 ? commandButton("Upload", "Upload configuration") : commandButton("Get", "Get configuration");
    SendCfgBtn = EditionCode == 2 ? commandButton("Dwnld", "Download configuration") : commandButton("Send", "Send Configuration");
    DefaultBtn = commandButton("Default", "Default configuration");
    for (QToolButton *&b : CustBtn) b = commandButton("...", "...");
    InterBtn = commandButton("Inter.", "Interactive mode On/Off", true);
    LogBtn = commandButton("Log", "Log On/Off", true);
    EEPROMBtn = commandButton("RAM", "RAM/EEPROM", true);
    const std::array<QToolButton *, 9> grid {GetCfgBtn, SendCfgBtn, DefaultBtn, CustBtn[0], CustBtn[1], CustBtn[2],
                                             InterBtn, LogBtn, EEPROMBtn};
    for (std::size_t i = 0; i < grid.size(); ++i) cmds->addWidget(grid[i], int(i / 3), int(i % 3));
    layout->addWidget(CmdGroup);

    LogGroup = new QGroupBox("Log");
    LogMemo = new QPlainTextEdit;
    LogMemo->setReadOnly(true);
    LogMemo->setMaximumBlockCount(kLogLines);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    setLabelColours(LogMemo);
    auto *log = new QVBoxLayout(LogGroup);
    compactGroup(log);
    log->addWidget(LogMemo);
    layout->addWidget(LogGroup, 1);
    FixDialogSize(*body_, kClientSize);

    setWidget(body_);
    QMdiSubWindow::layout()->setSizeConstraint(QLayout::SetFixedSize);   // a single border: the user cannot resize it

    connect(ConnBtn, &QPushButton::clicked, this, Guarded([this] { ConnBtnClick(); }));
    connect(GetCfgBtn, &QToolButton::clicked, this, Guarded([this] { GetCfgBtnClick(); }));
    connect(SendCfgBtn, &QToolButton::clicked, this, Guarded([this] { SendCfgBtnClick(); }));
    connect(DefaultBtn, &QToolButton::clicked, this, Guarded([this] { DefaultBtnClick(); }));
    for (int n = 1; n <= 3; ++n)
        connect(CustBtn[std::size_t(n - 1)], &QToolButton::clicked, this, Guarded([this, n] { CustBtnClick(n); }));
    connect(InterBtn, &QToolButton::clicked, this, Guarded([this] { InterBtnClick(); }));
    connect(LogBtn, &QToolButton::clicked, this, Guarded([this] { LogBtnClick(); }));
    connect(EEPROMBtn, &QToolButton::clicked, this, Guarded([this] { EEPROMBtnClick(); }));
}

void TCommForm::buildMenu()
{
    CommandsMenu = new QMenu("Co&mmands", this);
    ConnectItem = CommandsMenu->addAction("&Connect", this, Guarded([this] { ConnBtnClick(); }));
    CommandsMenu->addSeparator();
    GetItem = CommandsMenu->addAction("&Get configuration", this, Guarded([this] { GetCfgBtnClick(); }));
    SendItem = CommandsMenu->addAction("&Send configuration", this, Guarded([this] { SendCfgBtnClick(); }));
    RestoreItem = CommandsMenu->addAction("Restore &Defaults", this, Guarded([this] { DefaultBtnClick(); }));
    CommandsMenu->addSeparator();
    for (int n = 1; n <= 3; ++n)
        CustItem[std::size_t(n - 1)] = CommandsMenu->addAction("...", this, Guarded([this, n] { CustBtnClick(n); }));
    Sep3 = CommandsMenu->addSeparator();
    InterItem = CommandsMenu->addAction("&Interactive mode", this, Guarded([this] {
        InterBtn->toggle();
        InterBtnClick();
    }));
    LogItem = CommandsMenu->addAction("&Log On/Off", this, Guarded([this] {
        LogBtn->toggle();
        LogBtnClick();
    }));
    EEPROMItem = CommandsMenu->addAction("&RAM/EEPROM", this, Guarded([this] {
        EEPROMBtn->setChecked(Settings.EEPROMOnly || !EEPROMBtn->isChecked());
        EEPROMBtnClick();
    }));
    for (QAction *a : {InterItem, LogItem, EEPROMItem}) a->setCheckable(true);
    CommandsMenu->addSeparator();
    ExitItem = CommandsMenu->addAction("E&xit", this, Guarded([this] { close(); }));
}

void TCommForm::showEvent(QShowEvent *event)
{
    QMdiSubWindow::showEvent(event);
    move(ClientRight - width() - 2, 0);
}

void TCommForm::closeEvent(QCloseEvent *event)
{
    // The window's own code may be waiting further up the stack: it closes once the operation is over.
    if (CommDM->OperationRunning) {
        event->ignore();
        QApplication::beep();
        return;
    }
    ReportErrors([] {
        CommDM->ExitHostMode();
        CommDM->RefreshEditView();
    });
    QMdiSubWindow::closeEvent(event);
}

void TCommForm::ShowStatus(const std::string &msg)
{
    DisplayPanel->setText(FromCp1252(" " + BytesToDisplay(msg, " ")));
}

void TCommForm::AddLog(const std::string &line, bool force)
{
    const bool deviceError = line.size() >= 2 && line[0] == '\x1B' && line[1] == 'W';
    const std::string errorText = deviceError ? BytesToDisplay(StrBefore(line.substr(2), "\r"), " ") : std::string();
    if (LogBtn->isChecked() || force)
        LogMemo->appendPlainText(FromCp1252(deviceError ? errorText : BytesToDisplay(line, "")));
    if (CommDM->HasTermView() && line.rfind("TX: ", 0) == 0) TermForm->ShowSentLine(line.substr(4));
    if (deviceError) ShowWarning("Error " + errorText);
}

void TCommForm::UpdatePort()
{
    const bool open = CommDM->ComPort.PortState() == TPortState::PortOpen;
    PortLed->SetLit(open);
    Lights.SetMonitoring(open);
    ShowPortCaption();
}

void TCommForm::ShowPortCaption()
{
    const TSerComPort &port = CommDM->ComPort;
    PortGroup->setTitle(QStringLiteral("Port: COM%1,%2,%3%4%5")
                            .arg(port.ComNumber())
                            .arg(port.Baud())
                            .arg(QChar(ParityLetter(port.Parity(), '?')))
                            .arg(port.DataBits())
                            .arg(port.StopBits()));
}

void TCommForm::ShowIdentification()
{
    DisplayPanel->setText(FromCp1252(" " + BytesToDisplay(CommDM->DeviceId, " ")));
}

void TCommForm::SetupCustomButtons()
{
    bool any = false;
    for (std::size_t i = 0; i < CustBtn.size(); ++i) {
        CustBtn[i]->setText(FromCp1252(Settings.CustomBtnLabel[i].str()));
        CustBtn[i]->setToolTip(FromCp1252(Settings.CustomBtnCaption[i].str()));
        CustItem[i]->setText(FromCp1252(Settings.CustomBtnCaption[i].str()));
        const bool visible = !Settings.CustomBtnCommand[i].empty();
        CustBtn[i]->setVisible(visible);
        CustItem[i]->setVisible(visible);
        any = any || visible;
    }
    Sep3->setVisible(any);
}

void TCommForm::SetCommandsEnabled(bool enabled)
{
    for (QToolButton *b : {GetCfgBtn, SendCfgBtn, DefaultBtn, InterBtn, LogBtn, EEPROMBtn}) b->setEnabled(enabled);
    for (QToolButton *b : CustBtn) b->setEnabled(enabled);
    const QList<QAction *> items = CommandsMenu->actions();
    for (QAction *a : items)
        if (a != ConnectItem && a != ExitItem) a->setEnabled(enabled);
}

void TCommForm::EnableCommands()
{
    SetCommandsEnabled(true);
    EEPROMBtnClick();
}

void TCommForm::DisableCommands() { SetCommandsEnabled(false); }

void TCommForm::ShowNotConnected()
{
    CommDM->DeviceId = "NOT CONNECTED";
    Settings.ModelName = "";
    HostGroup->setTitle("");
    DisableCommands();
    ShowIdentification();
}

void TCommForm::SetWindowEnabled(bool enabled)
{
    body_->setEnabled(enabled);
    CommandsMenu->menuAction()->setEnabled(enabled);
}

void TCommForm::ConnBtnClick()
{
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();

    auto always = [this] {
        SetWindowEnabled(true);
        CommDM->EnableSpecialMenu(true);
        if (CommDM->Connected) CommDM->OpenEditView();
    };
    SetWindowEnabled(false);
    CommDM->EnableSpecialMenu(false);
    CommDM->Connected = false;
    try {
        CommDM->ReopenLostPort();
        CommDM->InHostMode = false;
        CommDM->Connected = CommDM->EnterHostMode();
        const bool connected = CommDM->Connected;
        if (connected) {
            CommDM->Identify();
            if (!Template->IsEmpty()) {
                GetConfiguration();
            } else {
                CommDM->ExitHostCmd(Settings.DefTimeout);
                CommDM->InHostMode = false;
                CommDM->Monitoring = true;
            }
            HostGroup->setTitle(FromCp1252(std::string(DeviceWord()) + ": " + Settings.ModelName.str() +
                                           (IsRemoted() ? " (Remoted)" : "")));
            SetupCustomButtons();
            CommDM->UpdateMultiMenu(false);
            SaveSettings();
            EnableCommands();
            if (CommDM->ComPort.DataBits() == 7) ShowWarning(kSevenBitWarning);
            ShowIdentification();
        } else {
            ShowNotConnected();
        }
        ShowPortCaption();
    } catch (...) {
        CommDM->LeaveHostModeAfterError();
        if (!CommDM->Connected) ShowNotConnected();   // not "Entering Host Mode..." after a port error
        always();
        throw;
    }
    always();
}

void TCommForm::GetCfgBtnClick()
{
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();
    GetConfiguration();
}

void TCommForm::GetConfiguration()
{
    if (Template->IsEmpty()) return ShowWarning("No template available!");
    // The dump is written while the reader is held; a report of its failure waits until it is let go.
    std::string dumpFailure;
    bool ok = false;
    try {
        ok = RunInHostMode(
            [&dumpFailure] {
                std::vector<std::string> list;
                if (!CommDM->ReadConfig(list)) return false;
                if (Settings.Debug)
                    dumpFailure = RunIncidentalStepQuietly("The configuration dump was not written.",
                                                           [&] { DumpConfiguration(list, CommDM->DeviceId); });
                Template->ApplyConfiguration(list);
                CommDM->RefreshEditView();
                return true;
            },
            "Transfer failed!");
    } catch (...) {
        ReportIncidentalFailure(dumpFailure);
        throw;
    }
    ShowStatus(ok ? "Configuration received" : "Transfer failed!");
    ReportIncidentalFailure(dumpFailure);
}

void TCommForm::SendCfgBtnClick()
{
    if (Template->IsEmpty()) return ShowWarning("No template available!");
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();

    ShowStatus("Sending configuration...");
    const bool ok = RunInHostMode(
        [this] {
            const ConfigRecords list = Template->GetConfiguration();
            ShowStatus("Sending configuration...");
            // The records are not logged one by one; the log is back on for leaving host mode.
            struct LogPause {
                QToolButton *button;
                bool wasOn;
                ~LogPause() { button->setChecked(wasOn); }
            } pause {LogBtn, LogBtn->isChecked()};
            LogBtn->setChecked(false);
            return CommDM->SendConfig(list, EEPROMBtn->isChecked());
        },
        "Transfer failed!");
    ShowStatus(ok ? "Configuration sent" : "Transfer failed!");
}

void TCommForm::DefaultBtnClick()
{
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();

    const bool ok = RunInHostMode(
        [this] {
            ShowStatus("Restoring defaults...");
            return CommDM->RestoreDefaults(EEPROMBtn->isChecked());
        },
        "Command failed!");
    ShowStatus(ok ? "Defaults restored" : "Command failed!");
    if (ok && AskYesNo("Update edit window?\rWarning: the current configuration will be overwritten!"))
        GetConfiguration();
}

void TCommForm::CustBtnClick(int n)
{
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();

    const std::string caption = Settings.CustomBtnCaption[std::size_t(n - 1)];
    const bool ok = RunInHostMode(
        [&] {
            ShowStatus(caption + "...");
            return CommDM->CustomCommand(n);
        },
        "Command failed!");
    ShowStatus(ok ? caption + " OK" : "Command failed!");
}

bool TCommForm::RunInHostMode(const std::function<bool()> &work, const std::string &failure)
{
    SetWindowEnabled(false);
    bool ok = false;
    try {
        if (CommDM->EnterHostMode()) {
            ok = work();
            CommDM->ExitHostMode();
        }
    } catch (...) {
        CommDM->LeaveHostModeAfterError();
        SetWindowEnabled(true);
        ShowStatus(failure);
        throw;
    }
    SetWindowEnabled(true);
    return ok;
}

void TCommForm::InterBtnClick()
{
    InterItem->setChecked(InterBtn->isChecked());
    CommDM->Interactive = InterBtn->isChecked();
    // The editor shows its values in red while interactive mode is on.
    if (auto *editor = dynamic_cast<QWidget *>(CommDM->EditView))
        for (QWidget *control : editor->findChildren<QWidget *>()) control->update();
}

void TCommForm::LogBtnClick() { LogItem->setChecked(LogBtn->isChecked()); }

void TCommForm::EEPROMBtnClick()
{
    if (Settings.EEPROMOnly) EEPROMBtn->setChecked(true);
    EEPROMBtn->setText(EEPROMBtn->isChecked() ? "EEPROM" : "RAM");
    EEPROMItem->setChecked(EEPROMBtn->isChecked());
}

void TCommForm::ConnTimerTimer() { ConnBtnClick(); }
