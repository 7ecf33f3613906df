#include "TerminalWindow.h"

#include "ByteLineEdit.h"
#include "ReaderLink.h"
#include "MacroEditor.h"
#include "TermLines.h"
#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "common/Wrn.h"
#include "model/Edition.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "platform/ScopedFlag.h"
#include "platform/UiServices.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/FileNameText.h"
#include "platform/qt/Guarded.h"
#include "serial/SerMisc.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

TTermForm *TermForm = nullptr;

namespace {

constexpr int kReplyTicks = 9;   // what a send waits for the reader's answer
constexpr int kRowHeight = 16;
const QColor kLime(0x00, 0xFF, 0x00);

// A grid row: lime for a received line, white otherwise, written 2 pixels in from the cell's corner; the selected
// row is marked while the grid has the focus.
class TTermRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QString line = index.data().toString();
        painter->save();
        painter->setClipRect(option.rect);
        const bool focused = option.widget && option.widget->hasFocus();
        if (focused && (option.state & QStyle::State_Selected)) painter->fillRect(option.rect, option.palette.highlight());
        painter->setFont(option.font);
        painter->setPen(line.startsWith(QLatin1String("RX: ")) ? kLime : QColor(Qt::white));
        painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {option.rect.width(), kRowHeight};
    }
};

QToolButton *barButton(const char *caption, const char *hint, bool checkable = false)
{
    auto *b = new QToolButton;
    b->setText(caption);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setCheckable(checkable);
    b->resize(b->fontMetrics().horizontalAdvance(b->text()) + 10, b->sizeHint().height());   // small, as glyphs were
    return b;
}

void setLimeOnBlack(QWidget *w, bool bold)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::Text, kLime);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    if (bold) {
        QFont f = w->font();
        f.setBold(true);
        w->setFont(f);
    }
}

// Keeps a control disabled while a send runs, whatever way the send ends.
class TDisabledWhile {
public:
    explicit TDisabledWhile(QWidget *w) : w_(w) { w_->setEnabled(false); }
    ~TDisabledWhile() { w_->setEnabled(true); }
    TDisabledWhile(const TDisabledWhile &) = delete;
    TDisabledWhile &operator=(const TDisabledWhile &) = delete;

private:
    QWidget *w_;
};

std::string displayForm(std::string_view bytes) { return BytesToDisplay(bytes, ""); }

} // namespace

TTermForm::TTermForm(QWidget *parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Terminal");
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    Lines = new TTermLines(Log, this);
    buildControls();
    buildMenus();
    Log.OnWriteError = [this](TTermLog::TKind kind, const std::string &message) {
        showLogClosed(kind);
        // Writes happen while bytes arrive, also inside other windows' reply waits: warn once the byte is shown.
        QMetaObject::invokeMethod(this, [message] { ReportErrors([&] { ShowWarning(message); }); }, Qt::QueuedConnection);
    };

    Timer = new QTimer(this);
    Timer->setSingleShot(true);
    Timer->setInterval(100);
    connect(Timer, &QTimer::timeout, this, Guarded([this] { CmdEdit->setFocus(); }));
    Timer->start();

    CommDM->TermView = this;
    TermForm = this;
    ChrCombo->addItems(ByteTableEntries());
    ChrCombo->setCurrentIndex(-1);
    FillMacros();
    if (EditionCode == 2) {
        STXBtn->setToolTip("ASCII Start");
        ETXBtn->setToolTip("ASCII Stop");
    }
    const double scale = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 96.0;
    resize(int(459 * scale), int(340 * scale));
    setMinimumWidth(int(420 * scale));
}

TTermForm::~TTermForm()
{
    SaveFormBounds(*this, Settings.TermBounds);
    SaveSettings();
    unregister();
    if (TermForm == this) TermForm = nullptr;
}

void TTermForm::unregister()
{
    if (CommDM && CommDM->TermView == this) CommDM->TermView = nullptr;
}

void TTermForm::buildControls()
{
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    BtnPanel = new QWidget;
    ClrScrnBtn = barButton("Clr", "Clear Screen");
    LogBtn = barButton("Log", "Start log", true);
    ExLogBtn = barButton("XLog", "Start extended log", true);
    EnterBtn = barButton("Host", "Enter Host Mode");
    ExitBtn = barButton("Exit", "Exit Host Mode");
    PrgBtn = barButton("Prg", "Enter Program Mode");
    RAMBtn = barButton("RAM", "Save to RAM");
    EEPROMBtn = barButton("EE", "Save to EEPROM");
    int x = 2;
    for (QToolButton *b : {ClrScrnBtn, LogBtn, ExLogBtn, EnterBtn, ExitBtn, PrgBtn, RAMBtn, EEPROMBtn}) {
        b->setParent(BtnPanel);
        b->move(x, 2);
        x += b->width() + (b == ExLogBtn ? 8 : 1);
    }
    MacroLab = new QLabel("Macro", BtnPanel);
    MacroLab->adjustSize();
    MacroCombo = new QComboBox(BtnPanel);
    MacroCombo->setFixedWidth(90);
    MacroBtn = barButton("...", "Edit Macros");
    MacroBtn->setParent(BtnPanel);
    BtnPanel->setFixedHeight(EnterBtn->height() + 4);
    BtnPanel->installEventFilter(this);
    layout->addWidget(BtnPanel);

    CmdGrid = new QListView;
    CmdGrid->setModel(Lines);
    CmdGrid->setItemDelegate(new TTermRowDelegate(CmdGrid));
    CmdGrid->setUniformItemSizes(true);
    CmdGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CmdGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    setLimeOnBlack(CmdGrid, false);
    layout->addWidget(CmdGrid, 1);

    CmdPanel = new QWidget;
    CmdEdit = new TByteLineEdit(TByteLineEdit::TKeys::Command, CmdPanel);
    setLimeOnBlack(CmdEdit, true);
    ChrCombo = new QComboBox(CmdPanel);
    ChrCombo->setFixedWidth(110);
    STXBtn = barButton("STX", "Serial Start");
    ETXBtn = barButton("ETX", "Serial Stop");
    for (QToolButton *b : {STXBtn, ETXBtn}) b->setParent(CmdPanel);
    CmdEdit->move(2, 2);
    CmdPanel->setFixedHeight(std::max(CmdEdit->sizeHint().height(), ChrCombo->sizeHint().height()) + 4);
    CmdPanel->installEventFilter(this);
    layout->addWidget(CmdPanel);
    setWidget(body);

    connect(Lines, &TTermLines::LineBegun, this, Guarded([this] {
        CmdGrid->setCurrentIndex(Lines->index(Lines->rowCount() - 1));
        CmdGrid->scrollToBottom();
    }));
    connect(EnterBtn, &QToolButton::clicked, this, Guarded([this] { EnterBtnClick(); }));
    connect(ExitBtn, &QToolButton::clicked, this, Guarded([this] { ExitBtnClick(); }));
    connect(PrgBtn, &QToolButton::clicked, this, Guarded([this] { PrgBtnClick(); }));
    connect(RAMBtn, &QToolButton::clicked, this, Guarded([this] { RAMBtnClick(); }));
    connect(EEPROMBtn, &QToolButton::clicked, this, Guarded([this] { EEPROMBtnClick(); }));
    connect(ClrScrnBtn, &QToolButton::clicked, this, Guarded([this] { ClrScrnBtnClick(); }));
    connect(LogBtn, &QToolButton::clicked, this, Guarded([this] { LogBtnClick(); }));
    connect(ExLogBtn, &QToolButton::clicked, this, Guarded([this] { ExLogBtnClick(); }));
    connect(MacroBtn, &QToolButton::clicked, this, Guarded([this] { MacroBtnClick(); }));
    connect(MacroCombo, &QComboBox::activated, this, Guarded([this] { MacroComboChange(MacroCombo->currentIndex()); }));
    connect(ChrCombo, &QComboBox::activated, this, Guarded([this] { ChrComboChange(ChrCombo->currentIndex()); }));
    connect(STXBtn, &QToolButton::clicked, this, Guarded([this] { STXBtnClick(); }));
    connect(ETXBtn, &QToolButton::clicked, this, Guarded([this] { ETXBtnClick(); }));
    connect(CmdEdit, &TByteLineEdit::Entered, this, Guarded([this] { CmdEditEnter(); }));
}

void TTermForm::buildMenus()
{
    CommandsMenu = new QMenu("C&ommands", this);
    CommandsMenu->addAction("Enter &Host Mode", this, Guarded([this] { EnterBtnClick(); }));
    CommandsMenu->addAction("Ex&it Host Mode", this, Guarded([this] { ExitBtnClick(); }));
    CommandsMenu->addAction("Enter &Program Mode", this, Guarded([this] { PrgBtnClick(); }));
    CommandsMenu->addAction("Save to &RAM", this, Guarded([this] { RAMBtnClick(); }));
    CommandsMenu->addAction("Save to EE&PROM", this, Guarded([this] { EEPROMBtnClick(); }));
    CommandsMenu->addAction("&Clear screen", this, Guarded([this] { ClrScrnBtnClick(); }));
    CommandsMenu->addSeparator();
    CommandsMenu->addAction("E&dit Macros", this, Guarded([this] { MacroBtnClick(); }));
    CommandsMenu->addSeparator();
    CommandsMenu->addAction("Serial Start", this, Guarded([this] { STXBtnClick(); }));
    CommandsMenu->addAction("Serial Stop", this, Guarded([this] { ETXBtnClick(); }));
    CommandsMenu->addSeparator();
    CommandsMenu->addAction("E&xit", this, Guarded([this] { close(); }));
    MacroMenu = new QMenu("&Macro", this);
}

bool TTermForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == BtnPanel) BtnPanelResize();
        if (watched == CmdPanel) CmdPanelResize();
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void TTermForm::BtnPanelResize()
{
    MacroBtn->move(BtnPanel->width() - 5 - MacroBtn->width(), 2);
    MacroCombo->move(MacroBtn->x() - 4 - MacroCombo->width(), 2);
    MacroLab->move(MacroCombo->x() - 6 - MacroLab->width(), (BtnPanel->height() - MacroLab->height()) / 2);
    MacroLab->setVisible(MacroLab->x() > EEPROMBtn->x() + EEPROMBtn->width() + 4);
}

void TTermForm::CmdPanelResize()
{
    ETXBtn->move(CmdPanel->width() - 5 - ETXBtn->width(), 2);
    STXBtn->move(ETXBtn->x() - STXBtn->width() + 1, 2);
    ChrCombo->move(STXBtn->x() - 4 - ChrCombo->width(), 2);
    CmdEdit->resize(std::max(0, ChrCombo->x() - 4 - CmdEdit->x()), CmdEdit->sizeHint().height());
}

void TTermForm::showEvent(QShowEvent *event)
{
    QMdiSubWindow::showEvent(event);
    // Placed once it stands in the MDI client, which places new windows by itself.
    if (placed_) return;
    placed_ = true;
    move(20, 20);
    RestoreFormBounds(*this, Settings.TermBounds);
}

void TTermForm::closeEvent(QCloseEvent *event)
{
    // A send of this window waits further up the stack: the window closes once it is over.
    if (sending_) {
        event->ignore();
        QApplication::beep();
        return;
    }
    unregister();
    ReportErrors([this] { Log.Close(); });
    QMdiSubWindow::closeEvent(event);
}

void TTermForm::ShowRxChar(uint8_t ch) { Lines->ShowRxChar(ch); }

void TTermForm::ShowSentLine(const std::string &bytes) { Lines->ShowSentLine(bytes); }

bool TTermForm::SendBytes(const std::string &bytes)
{
    if (bytes.empty()) return true;
    TLinkOperation operation(*CommDM);
    if (!operation) {
        QApplication::beep();
        return false;
    }
    ScopedFlag sending(sending_);
    ShowSentLine(bytes);
    CommDM->SendString(bytes, false);
    DelayTicks(kReplyTicks, true);
    // What came during the wait while the link was monitoring has been shown through the link already.
    TSerComPort &port = CommDM->ComPort;
    while (port.CharReady()) ShowRxChar(uint8_t(port.GetChar()));
    if (!Lines->RawLine().empty()) Lines->EndLine();
    return true;
}

void TTermForm::sendFrom(QWidget *panel, const std::string &bytes)
{
    TDisabledWhile disabled(panel);
    SendBytes(bytes);
}

void TTermForm::sendHostCommand(int entry)
{
    sendFrom(BtnPanel, HostCommands[std::size_t(entry)]);
    CmdEdit->setFocus();
}

void TTermForm::EnterBtnClick() { sendHostCommand(hcEnterHost); }
void TTermForm::ExitBtnClick() { sendHostCommand(hcExitHost); }
void TTermForm::PrgBtnClick() { sendHostCommand(hcProgramMode); }
void TTermForm::RAMBtnClick() { sendHostCommand(hcSaveRAM); }
void TTermForm::EEPROMBtnClick() { sendHostCommand(hcSaveEEPROM); }
void TTermForm::STXBtnClick() { sendFrom(CmdPanel, std::string(1, char(Settings.SerialStart))); }
void TTermForm::ETXBtnClick() { sendFrom(CmdPanel, std::string(1, char(Settings.SerialStop))); }

void TTermForm::ClrScrnBtnClick()
{
    Lines->Clear();
    CmdEdit->setFocus();
}

void TTermForm::CmdEditEnter()
{
    if (CmdEdit->Bytes().empty()) return;
    if (!SendBytes(CmdEdit->Bytes())) return;   // refused: the line stays for another try
    QApplication::beep();
    CmdEdit->SetBytes("");
}

void TTermForm::ChrComboChange(int index)
{
    if (index < 0) return;
    CmdEdit->InsertByte(uint8_t(index));
    CmdEdit->setFocus();
}

void TTermForm::FillMacros()
{
    MacroCombo->clear();
    MacroMenu->clear();
    for (std::size_t i = 0; i < Settings.TermMacroList.size(); ++i) {
        const QString text = FromCp1252(displayForm(Settings.TermMacroList[i]));
        MacroCombo->addItem(text);
        QString caption = text;
        MacroMenu->addAction(caption.replace(QLatin1Char('&'), QLatin1String("&&")), this,
                             Guarded([this, i] { SendBytes(StrAfter(Settings.TermMacroList.at(i), "=")); }));
    }
    MacroCombo->setCurrentIndex(-1);
}

void TTermForm::MacroComboChange(int index)
{
    if (index >= 0 && std::size_t(index) < Settings.TermMacroList.size())
        SendBytes(StrAfter(Settings.TermMacroList[std::size_t(index)], "="));
    MacroCombo->setCurrentIndex(-1);
    CmdEdit->setFocus();
}

void TTermForm::MacroBtnClick()
{
    TMacroForm dialog(this);
    const QStringList entries = ByteTableEntries();
    for (QComboBox *combo : {dialog.ChrCombo, dialog.StartCombo, dialog.StopCombo}) combo->addItems(entries);
    dialog.StartCombo->setCurrentIndex(Settings.SerialStart);
    dialog.StopCombo->setCurrentIndex(Settings.SerialStop);
    if (dialog.exec() == QDialog::Accepted) FillMacros();
    CmdEdit->setFocus();
}

void TTermForm::LogBtnClick() { toggleLog(TTermLog::TKind::Plain); }

void TTermForm::ExLogBtnClick() { toggleLog(TTermLog::TKind::Extended); }

void TTermForm::toggleLog(TTermLog::TKind kind)
{
    const bool plain = kind == TTermLog::TKind::Plain;
    QToolButton *button = plain ? LogBtn : ExLogBtn;
    if (!button->isChecked()) {
        if (!Log.IsOpen(kind)) return;
        showLogClosed(kind);
        Log.Close();
        return;
    }
    if (Log.IsOpen(kind)) return;
    const std::optional<std::string> name =
        Ui().SaveFileName({"Choose log file name", "", "CORVANE.LOG", "Log files|*.log", "log"});
    std::error_code error;
    if (!name || (std::filesystem::exists(*name, error) && !AskYesNo("Overwrite " + *name + "?"))) {
        button->setChecked(false);
        return;
    }
    try {
        Log.Open(kind, *name);
    } catch (...) {
        button->setChecked(false);
        throw;
    }
    (plain ? ExLogBtn : LogBtn)->setEnabled(false);
    setWindowTitle("Terminal - Log open: " + FromFileName(*name));
    button->setToolTip(plain ? "Stop log" : "Stop extended log");
}

void TTermForm::showLogClosed(TTermLog::TKind kind)
{
    const bool plain = kind == TTermLog::TKind::Plain;
    QToolButton *button = plain ? LogBtn : ExLogBtn;
    button->setChecked(false);
    button->setToolTip(plain ? "Start log" : "Start extended log");
    setWindowTitle("Terminal");
    (plain ? ExLogBtn : LogBtn)->setEnabled(true);
}
