#include "WindowTour.h"

#include "ExampleReader.h"
#include "ModalDriver.h"
#include "Pump.h"
#include "ReaderConfigStore.h"
#include "app/About.h"
#include "app/MainWindow.h"
#include "app/Setup.h"
#include "app/Splash.h"
#include "download/TarselSettings.h"
#include "download/DownloadWindow.h"
#include "download/ProgressWindow.h"
#include "download/DevicePicker.h"
#include "editor/CompareDialog.h"
#include "editor/DatabaseRecordDialog.h"
#include "editor/ConfigDatabase.h"
#include "editor/DatabaseWindow.h"
#include "editor/EditForm.h"
#include "editor/FileBrowser.h"
#include "editor/LoadConfigDialog.h"
#include "editor/OverflowCalculator.h"
#include "editor/StringDialog.h"
#include "editor/LoadTemplateDialog.h"
#include "editor/Value16Dialog.h"
#include "link/AutoScan.h"
#include "link/ReaderLink.h"
#include "link/DeviceControl.h"
#include "link/MacroEditor.h"
#include "link/TerminalWindow.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"
#include "platform/FileContents.h"
#include "platform/IniFile.h"
#include "link/SevenSegmentDigit.h"
#include "serial/SerPortSelectDialog.h"
#include "serial/SerStatusLight.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QTreeWidget>
#include <QTableWidget>

#include <cstdlib>

using namespace std::chrono_literals;

namespace testsupport {

namespace {

// A file of the examples folder; empty when it cannot be read, which the tour then shows.
std::string ExampleBytes(const std::string &name) { return ReadFileContents(ExampleFile(name)).value_or(""); }

// Shows the window, lets it settle and hands it on; deletes it afterwards.
template <class Window>
void Tour(const std::function<void(const std::string &, QWidget &)> &visit, const std::string &name, Window *window)
{
    window->show();
    PumpFor(50ms);
    visit(name, *window);
    delete window;
}

} // namespace

WindowTour::WindowTour()
{
    setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
    setenv("SERIAL_COM1", pty.devicePath().c_str(), 1);
    const std::string dev = dir.path().string() + "/dev";
    dir.write("dev/M100.TPL", ExampleBytes("M100.TPL"));
    dir.write("dev/BENCH.CFG", ExampleBytes("BENCH.CFG"));
    // The example INI with the device folder of this tour, and without the dump into the current folder.
    IniFile ini(dir.write("CORVANE.INI", ExampleBytes("CORVANE.INI")));
    ini.WriteString("M100", "DevPath", dev);
    ini.WriteBool("Misc", "Debug", false);
    dir.write("TARSEL.INI", "[General]\r\nTitle=Program download\r\n[Devices]\r\nHand reader=Hand\r\n"
                            "Fixed reader=Fixed\r\n[Hand]\r\nProtocol=0\r\n[Fixed]\r\nProtocol=1\r\n");
    TarselDir = dir.path().string();
    MakeExampleReader(sim);
    driver = std::make_unique<ReaderSimGuiDriver>(sim, pty.masterFd());

    StartSettingsModule(dir.file("corvane"), "");
    main = new TMainForm;
    main->show();
    main->CommBtnClick();
    if (CommForm) CommForm->ConnBtnClick();
    PumpFor(50ms);
}

WindowTour::~WindowTour()
{
    delete main;
    EndSettingsModule();
    TarselDir.clear();
    driver.reset();
}

bool WindowTour::connected() const { return CommDM && CommDM->Connected && EditForm; }

void WindowTour::visit(const std::function<void(const std::string &name, QWidget &window)> &visit)
{
    if (!connected()) return;
    EditForm->TabSet->setCurrentIndex(1);
    main->TermBtnClick();
    // Traffic in the Terminal: host mode, two macros, then a code that the reader reads on its own after host mode.
    TermForm->EnterBtnClick();
    for (const char *macro : {"Identify", "Version"})
        TermForm->MacroComboChange(TermForm->MacroCombo->findText(macro, Qt::MatchStartsWith));
    TermForm->ExitBtnClick();
    driver->send("4006381333931\r\n");
    PumpFor(50ms);
    visit("main-window", *main);
    visit("device-control", *CommForm);
    visit("editor", *EditForm);
    visit("terminal", *TermForm);
    {
        OnModal<TMacroForm> macros([&](TMacroForm &dialog) {
            PumpFor(50ms);
            visit("macro-editor", dialog);
            dialog.reject();
        });
        TermForm->MacroBtnClick();
    }

    auto *decimal = new TXSBForm(EditForm);
    decimal->SetValue(1000);
    Tour(visit, "decimal-value", decimal);
    auto *text = new TStrForm(EditForm);
    text->SetText("To \r");
    text->SetMarkedColumn(1);
    text->show();
    PumpFor(50ms);
    visit("string-value", *text);
    text->CharMenu->popup(text->Grid->mapToGlobal(QPoint(10, 10)));
    PumpFor(50ms);
    visit("character-menu", *text->CharMenu);
    text->CharMenu->hide();
    delete text;

    auto *loadCfg = new TLoadCfgForm(EditForm);
    loadCfg->Browser->SetDirectory(Settings.DevPath);
    loadCfg->Browser->FileList->setCurrentRow(0);
    loadCfg->ViewBtnClick();
    Tour(visit, "load-configuration", loadCfg);
    auto *loadTpl = new TTplForm(EditForm);
    loadTpl->Browser->SetMask("*.TPL");
    loadTpl->Browser->SetDirectory(Settings.DevPath);
    loadTpl->PreviewFile(Settings.DevPath + "M100.TPL");
    loadTpl->TplTree->expandAll();
    Tour(visit, "load-template", loadTpl);
    {
        TDBFile db;
        CfgDbRecord record;
        record.Set(DbField::Device, "M100");
        record.Set(DbField::SerialNo, "A1027");
        record.SetDateTime(46000.5);
        record.Set(DbField::Author, "Bench");
        record.Set(DbField::Description, "Line 3, slow conveyor");
        record.Set(DbField::TemplateName, "M100.TPL");
        TDBFile::ListToData(record, {readerRecord("AA", 0), readerRecord("AB", 0x15)});
        TDBFile::MakeKey(record);
        db.Store(record);
    }
    auto *database = new TDBForm(EditForm, *Template);
    Tour(visit, "database", database);
    Tour(visit, "database-record", new TDBEditForm(EditForm));
    auto *compare = new TCompForm(EditForm);
    compare->CurBtnClick(TCompForm::LeftSide);
    compare->DefBtnClick(TCompForm::RightSide);
    Tour(visit, "compare", compare);
    auto *overflow = new TOverForm(EditForm);
    overflow->PageIndex = 0;
    overflow->EntryIndex = 2;
    overflow->ScanCombo->setCurrentIndex(0);
    overflow->ScanComboChange();
    overflow->MinCDEdit->setText("50");
    overflow->MaxCDEdit->setText("300");
    overflow->XEdit->setText("0.3");
    overflow->Recalc();
    Tour(visit, "overflow-calculator", overflow);

    Tour(visit, "setup", new TSetupForm(main));
    Tour(visit, "about", new TAboutBox(main, 0));
    // Shown without the event loop running: its scan starts from the loop.
    auto *scan = new TAutoForm(*CommDM, main);
    scan->show();
    for (int i = 1; i < 6; ++i) scan->Leds[std::size_t(i)]->SetValue("19200"[i - 1] - '0');
    for (TSerStatusLight *light : {scan->ParEven, scan->Data8, scan->Stop1}) light->SetLit(true);
    visit("auto-connect", *scan);
    delete scan;
    Tour(visit, "port-selection", new TComSelectForm(main));

    auto *download = new TTRSForm(main);
    download->SelectDevice("Hand reader");
    download->SetPort(1, "9600,N,8,1");
    download->show();
    download->Log("Connecting to the loader of the hand reader on COM1 at 9600 baud, no parity, 8 data bits...");
    download->Log("  TX: ESC L");
    download->ShowStatus("CONNECTED");
    PumpFor(50ms);
    visit("download", *download);
    ShowProgress(download, "Downloading PROGRAM.BIN...", 0, 100);
    ProgForm->Bar->setValue(40);
    PumpFor(50ms);
    visit("download-progress", *ProgForm);
    HideProgress();
    delete download;
    Tour(visit, "device-picker", new TDevForm(main));
}

} // namespace testsupport
