#include "DownloadWindow.h"

#include "DropButtons.h"
#include "ProgressWindow.h"
#include "platform/qt/ScreenPlacement.h"
#include "common/ByteDisplay.h"
#include "common/Wrn.h"
#include "platform/ErrorReport.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/DesignSize.h"
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
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int MaxLogLines = 200;

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
    button->setAutoDefault(false);   // the window has no default button: Enter starts nothing
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
                         Qt::WindowCloseButtonHint),
      Loader(ComPort, *this)
{
    setWindowTitle("TARSEL");
    buildControls();
}

TTRSForm::~TTRSForm() = default;

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
    MRUBtn->setFixedSize(16, 32);
    DownLoadBtn->setFixedHeight(MRUBtn->height());   // one piece with the button beside it
    MRUBtn->setToolTip("Recent downloads");
    MRUBtn->setAccessibleName("Recent downloads");
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
    version->setFixedWidth(ScaledToFont(180, *version));
    auto *second = new QLabel;
    second->setFixedWidth(ScaledToFont(50, *second));
    StatusBar->addWidget(version);
    StatusBar->addWidget(second);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(body_, 1);
    layout->addWidget(StatusBar);
    FixDialogSize(*this, {388, 267});

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
    if (!Loader.SelectDevice(name))
        return;
    DevLabel->setText(FromCp1252(Loader.Setup->DeviceName.str()));
    setWindowTitle(FromCp1252(Loader.Setup->Title.str()));
}

void TTRSForm::SetPort(int32_t number, const std::string &settings)
{
    Loader.SetPort(number, settings);
    PortLabel->setText("COM" + QString::number(number));
}

void TTRSForm::PortCheckClick()
{
    ComPort.SetOpen(PortCheck->isChecked());
    PortLed->SetLit(ComPort.Open());
}

// ---- What the protocol shows ----

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
    // The log keeps following its end, as a new line does, unless the user has scrolled away from it.
    QScrollBar *scroll = LogMemo->verticalScrollBar();
    const bool atEnd = scroll->value() == scroll->maximum();
    QTextCursor cursor(LogMemo->document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText(FromCp1252(BytesToDisplay(text, " ")));
    if (atEnd)
        scroll->setValue(scroll->maximum());
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

void TTRSForm::ShowPortOpen(bool open)
{
    PortLed->SetLit(open);
    const QSignalBlocker quiet(PortCheck);
    PortCheck->setChecked(open);
}

void TTRSForm::ShowConnecting(bool connecting) { AbortBtn->setVisible(connecting); }

void TTRSForm::ShowDeviceAnswered() { DevLed->SetLit(true); }

void TTRSForm::ShowVersion(const std::string &version) { ResLabel->setText(OneLine(version)); }

void TTRSForm::ShowDeviceLost()
{
    for (TSerStatusLight *light : {PortLed, DevLed, LoaderLed})
        light->SetLit(false);
    const QSignalBlocker quiet(PortCheck);
    PortCheck->setChecked(false);
    SetCommandsEnabled(false);
}

void TTRSForm::ShowTransferRunning(bool running) { body_->setEnabled(!running); }

void TTRSForm::ShowDownloadEnded()
{
    activateWindow();
    setFocus();
}

void TTRSForm::ShowProgress(const std::string &caption) { ::ShowProgress(this, caption, 0, 100); }

void TTRSForm::ReportProgress(int64_t done, int64_t all) { ::ReportProgress(done, all); }

void TTRSForm::HideProgress() { ::HideProgress(); }

// ---- Commands ----

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
        Loader.Connect();
    }
    if (Loader.Connected) {
        Loader.GetVersion();
        LoaderLed->SetLit(true);
        SetCommandsEnabled(true);
    }
}

void TTRSForm::EraseBtnClick()
{
    TOperation operation(*this);
    if (AskYesNo("Do you really want to erase the EEPROM?"))
        Loader.EraseEEPROM();
}

void TTRSForm::AbortBtnClick() { Loader.Abort(); }

void TTRSForm::DownloadFile(const std::string &fileName)
{
    TOperation operation(*this);
    if (AskYesNo("Download " + fileName + "?"))
        Loader.DownloadFile(fileName);
}

// ---- Recent files and the file dialog ----

void TTRSForm::DownLoadBtnClick()
{
    TOperation operation(*this);
    FileDialogRequest request;
    request.title = "Open";
    request.filter = Loader.Setup->OpenFilter;
    if (std::optional<std::string> file = Ui().OpenFileName(request))
        DownloadFile(*file);
}

void TTRSForm::MRUMenuPopup()
{
    Loader.Setup->LoadMRU();
    MRUMenu->clear();
    for (const std::string &file : Loader.Setup->MRUList) {
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
    if (Loader.Setup->NoConnect) {
        Loader.AssumeConnected();
        ConnBtn->setEnabled(false);
        SetCommandsEnabled(true);
    }
    LogLines(Loader.Setup->StartMsg);
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
    Loader.Terminate();
    Loader.ClosePort();
}
