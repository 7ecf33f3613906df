#include "MainWindow.h"

#include "About.h"
#include "BackgroundArea.h"
#include "Setup.h"
#include "Splash.h"
#include "common/Wrn.h"
#include "platform/qt/ScreenPlacement.h"
#include "editor/EditForm.h"
#include "link/ReaderLink.h"
#include "link/DeviceControl.h"
#include "link/TerminalWindow.h"
#include "model/AppHelp.h"
#include "model/HtmlHelp.h"
#include "model/LocalizedNames.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/DesignSize.h"
#include "platform/qt/Guarded.h"
#include "serial/SerMisc.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cctype>

const char *const AppTitle = "Corvane";
TMainForm *MainForm = nullptr;

namespace {

const char *const kVersionText = "v. 2.03 - March 28, 2007";

// A start-up step that may fail on its own: its failure is shown as "Error in <name>" and start-up goes on.
template <class Step>
void GuardedStep(const char *name, Step &&step)
{
    try {
        step();
    } catch (...) {
        ShowWarning(std::string("Error in ") + name);
    }
}

QToolButton *toolButton(const QString &caption, const QString &hint, QStyle::StandardPixmap icon)
{
    auto *b = new QToolButton;
    b->setText(caption);
    b->setToolTip(hint);
    b->setIcon(QApplication::style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumSize(48, 48);
    return b;
}

} // namespace

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    MainForm = this;
    setWindowTitle(AppTitle);
    resize(610, 434);
    MdiArea = new TBackgroundArea(this);
    setCentralWidget(MdiArea);
    buildMenus();
    buildToolBar();
    buildStatusBar();
    connect(MdiArea, &QMdiArea::subWindowActivated, this, Guarded([this] { RebuildMenuBar(); }));

    Timer = new QTimer(this);
    Timer->setInterval(2000);
    connect(Timer, &QTimer::timeout, this, Guarded([this] { TimerTimer(); }));
    CloseTimer = new QTimer(this);
    CloseTimer->setInterval(1000);
    connect(CloseTimer, &QTimer::timeout, this, Guarded([this] { CloseTimerTimer(); }));

    CommDM = new TCommDM;
    CommDM->MainView = this;
    GuardedStep("InitTpl", [] {
        Template = new TTemplate;
        Template->LoadFromFile(Settings.DefTpl);
    });
    setWindowTitle(AppTitle);
    StatusPanels[0]->setText(kVersionText);
    GuardedStep("SetCV", [this] { SetCV(); });
    GuardedStep("SetClientWnd", [this] { MdiArea->SetBackgroundEnabled(true); });
    GuardedStep("SetMenu", [this] { SetMenu(); });
    RebuildMenuBar();
    CenterOnScreen(*this);
    Timer->start();
}

TMainForm::~TMainForm()
{
    Timer->stop();
    CloseTimer->stop();
    // Each child clears its view in the link as it goes, so they go before the link.
    const QList<QMdiSubWindow *> children = MdiArea->subWindowList();
    for (QMdiSubWindow *child : children) delete child;
    delete CommDM;
    CommDM = nullptr;
    delete Template;
    Template = nullptr;
    FreeSettingLists();
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::buildMenus()
{
    File1 = new QMenu("&File", this);
    Exit1 = File1->addAction("E&xit", QKeySequence("Ctrl+X"), this, Guarded([this] { ExitBtnClick(); }));

    Tools1 = new QMenu("&Windows", this);
    Toolbar1 = Tools1->addAction("Tool&bar", this, Guarded([this] { Toolbar1Click(); }));
    Toolbar1->setCheckable(true);
    Toolbar1->setChecked(true);
    Tools1->addSeparator();
    Edit1 = Tools1->addAction("&Edit", QKeySequence("Ctrl+E"), this, Guarded([this] { EditBtnClick(); }));
    Control1 = Tools1->addAction("&Control", QKeySequence("Ctrl+C"), this, Guarded([this] { CommBtnClick(); }));
    Terminal1 = Tools1->addAction("&Terminal", QKeySequence("Ctrl+T"), this, Guarded([this] { TermBtnClick(); }));
    Setup1 = Tools1->addAction("&Setup", QKeySequence("Ctrl+S"), this, Guarded([this] { SetupBtnClick(); }));

    Help1 = new QMenu("&Help", this);
    HelpContents = Help1->addAction("&Contents", this, Guarded([] { ApplicationHelp(HELP_CONTENTS, 0); }));
    HelpSearch = Help1->addAction("&Search", this, Guarded([] { ApplicationHelp(HELP_PARTIALKEY, 0, ""); }));
    Help1->addSeparator();
    About1 = Help1->addAction("&About", this, Guarded([this] { About1Click(); }));
}

void TMainForm::buildToolBar()
{
    ControlBar = addToolBar("ControlBar");
    ControlBar->setMovable(false);
    ControlBar->setFloatable(false);
    ControlBar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    CommBtn = toolButton("&Control", "", QStyle::SP_ComputerIcon);
    EditBtn = toolButton("&Edit ", "Edit configuration", QStyle::SP_FileDialogDetailedView);
    TermBtn = toolButton("&Terminal", "Terminal", QStyle::SP_FileDialogListView);
    SetupBtn = toolButton("&Setup", "Setup", QStyle::SP_FileDialogInfoView);
    ExitBtn = toolButton("E&xit", "Exit Corvane", QStyle::SP_DialogCloseButton);
    connect(CommBtn, &QToolButton::clicked, this, Guarded([this] { CommBtnClick(); }));
    connect(EditBtn, &QToolButton::clicked, this, Guarded([this] { EditBtnClick(); }));
    connect(TermBtn, &QToolButton::clicked, this, Guarded([this] { TermBtnClick(); }));
    connect(SetupBtn, &QToolButton::clicked, this, Guarded([this] { SetupBtnClick(); }));
    connect(ExitBtn, &QToolButton::clicked, this, Guarded([this] { ExitBtnClick(); }));
    ControlBar->addWidget(CommBtn);
    ControlBar->addWidget(EditBtn);
    ControlBar->addWidget(TermBtn);
    auto *stretch = new QWidget;
    stretch->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ControlBar->addWidget(stretch);
    ControlBar->addWidget(SetupBtn);
    ControlBar->addWidget(ExitBtn);
}

void TMainForm::buildStatusBar()
{
    for (int i = 0; i < 2; ++i) {
        StatusPanels[i] = new QLabel;
        StatusPanels[i]->setFixedWidth(ScaledToFont(i == 0 ? 180 : 50, *StatusPanels[i]));
        StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(StatusPanels[i]);
    }
}

void TMainForm::SetCV()
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    if (screen.width() <= 640)
        resize(610, height());
    else
        resize(screen.width() - 120, screen.height() - 100);
}

void TMainForm::SetMenu()
{
    Toolbar1->setChecked(Settings.Toolbar);
    ControlBar->setVisible(Settings.Toolbar);
    BuildSpecialMenu();
    if (!Settings.DefMulti.empty()) UpdateMultiMenu(true);
}

QMdiArea *TMainForm::ClientWnd() const { return MdiArea; }

std::vector<TMenuGroup> TMainForm::ownMenus() const
{
    std::vector<TMenuGroup> menus {{0, File1}, {0, Tools1}};
    if (MultiMenu) menus.push_back({2, MultiMenu});
    if (SpecialMenu) menus.push_back({2, SpecialMenu});
    menus.push_back({3, Help1});
    return menus;
}

void TMainForm::RebuildMenuBar()
{
    std::vector<TMenuGroup> child;
    if (auto *merged = dynamic_cast<IMergedMenus *>(MdiArea->activeSubWindow())) child = merged->MenuGroups();
    menuBar()->clear();
    for (QMenu *menu : MergeMenus(ownMenus(), child)) menuBar()->addMenu(menu);
}

void TMainForm::CommBtnClick()
{
    if (CommDM->HasCommView()) {
        MdiArea->setActiveSubWindow(CommForm);
        return;
    }
    ClientRight = MdiArea->viewport()->width();
    auto *form = new TCommForm;
    MdiArea->addSubWindow(form);
    form->show();
    if (ConnectAtStart) {
        ConnectAtStart = false;
        form->ConnTimer->start();
    }
}

void TMainForm::EditBtnClick()
{
    if (CommDM->HasEditView()) {
        MdiArea->setActiveSubWindow(EditForm);
        return;
    }
    auto *form = new TEditForm;
    MdiArea->addSubWindow(form);
    form->resize(form->width(), MdiArea->viewport()->height());
    form->About1->setEnabled(true);
    connect(form->About1, &QAction::triggered, this, Guarded([this] { About1Click(); }));
    form->show();
}

void TMainForm::TermBtnClick()
{
    if (CommDM->HasTermView()) {
        MdiArea->setActiveSubWindow(TermForm);
        return;
    }
    auto *form = new TTermForm;
    MdiArea->addSubWindow(form);
    form->show();
}

void TMainForm::OpenEditView()
{
    EditBtnClick();
    if (CommDM->HasEditView()) EditForm->RefreshAll();
}

void TMainForm::EnableSpecialMenu(bool enabled)
{
    if (SpecialMenu) SpecialMenu->menuAction()->setEnabled(enabled);
    CommViewCreated();
}

void TMainForm::SetupBtnClick()
{
    // Not while the Device Control window has disabled itself for a transfer, nor while any other operation holds
    // the link (an interactive send of the editor): Setup may reopen the port and load another template.
    if ((CommDM->HasCommView() && !CommForm->body()->isEnabled()) || CommDM->OperationRunning) {
        QApplication::beep();
        return;
    }
    TSetupForm form(this);
    form.OnTemplateLoaded = [this](QObject *) { EditBtnClick(); };
    form.exec();
}

void TMainForm::ExitBtnClick() { close(); }

void TMainForm::About1Click() { ShowAboutBox(this); }

void TMainForm::Toolbar1Click()
{
    // The menu item has already toggled its check mark.
    Settings.Toolbar = Toolbar1->isChecked();
    ControlBar->setVisible(Settings.Toolbar);
    SaveSettings();
}

void TMainForm::ShortcutKey(uint16_t &key)
{
    QToolButton *button = nullptr;
    switch (std::toupper(key & 0xFF)) {
    case 'C': button = CommBtn; break;
    case 'E': button = EditBtn; break;
    case 'T': button = TermBtn; break;
    case 'S': button = SetupBtn; break;
    case 'X': button = ExitBtn; break;
    default: return;
    }
    button->click();
    key = 0;
}

void TMainForm::TimerTimer()
{
    // Nothing that can show a box runs while the timer still fires or the splash window still stands.
    Timer->stop();
    delete SplashForm;
    SplashForm = nullptr;
    if (!ReportErrors([this] { CommBtnClick(); })) {
        Timer->start();   // tried again two seconds later, once the error box is gone
        return;
    }
    if (!Settings.DefTpl.empty() && Template && Template->IsEmpty()) {
        ShowWarning("Unable to load template\r" + LocalizeFileName(Settings.DefTpl));
        Settings.DefTpl.clear();
    }
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // Never close while the link waits for the reader, runs an operation or an add-on runs: retry every second,
    // and tell a host-mode entry in progress to give up and the launcher to stop waiting for its program.
    if (CommDM->Busy || CommDM->OperationRunning || AddOnRunning) {
        if (AddOnRunning) StopWaitingForAddOn = true;
        CloseTimer->start();
        CommDM->AbortConnect = true;
        event->ignore();
        return;
    }
    CloseTimer->stop();
    if (!AskYesNo(std::string("Exit ") + AppTitle + "?")) {
        event->ignore();
        return;
    }
    SaveSettings();
    for (QMdiSubWindow *child : MdiArea->subWindowList())
        if (child != CommForm) Release(child);
    event->accept();
    RequestQuit();
    QCoreApplication::quit();
}

void TMainForm::CloseTimerTimer() { close(); }

void TMainForm::Release(QMdiSubWindow *child)
{
    child->hide();
    child->deleteLater();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    const int clientWidth = MdiArea->width();
    for (QMdiSubWindow *child : MdiArea->subWindowList())
        if (child->x() + child->width() > clientWidth - 2) child->move(clientWidth - 2 - child->width(), child->y());
    MdiArea->viewport()->update();
}
