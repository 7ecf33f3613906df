// The compare dialog, offscreen with real widgets: its rows, the five sources of a side (defaults, the current
// configuration, a .cfg file, a database record, the reader through the simulator on a pty), differing rows in
// red and their count.

#include "../link/LinkFixture.h"
#include "ToolsFixture.h"
#include "editor/CompareDialog.h"
#include "editor/DatabaseWindow.h"
#include "editor/FileBrowser.h"
#include "editor/LoadConfigDialog.h"
#include "editor/OleDate.h"
#include "editor/XGrid.h"
#include "ModalDriver.h"
#include "TabChain.h"
#include "model/CfgFile.h"

#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

#include <filesystem>

using testsupport::SimKind;

namespace {

const std::string kDifferentTemplate = "The template is different\rfrom the current one!\rContinue anyway?";

// Acts as the user in the Load configuration dialog: picks the named file of the folder it shows, or cancels when
// the name is empty; records the folder the dialog started in.
class ChooseInLoadDialog {
public:
    explicit ChooseInLoadDialog(const QString &name, std::string *startDir = nullptr)
        : user_([name, startDir](TLoadCfgForm &form) {
              if (startDir) *startDir = form.Browser->Directory();
              if (name.isEmpty()) return form.reject();
              const QList<QListWidgetItem *> found = form.Browser->FileList->findItems(name, Qt::MatchExactly);
              ASSERT_EQ(found.size(), 1) << name.toStdString();
              form.Browser->FileList->setCurrentItem(found.first());
              form.OkBtn->click();
          })
    {
    }
    ~ChooseInLoadDialog() { EXPECT_TRUE(user_.ran()); }

private:
    testsupport::OnModal<TLoadCfgForm> user_;
};

std::vector<std::string> Column(TExtGrid &grid, int col)
{
    std::vector<std::string> texts;
    for (int row = 1; row < grid.RowCount(); ++row) texts.push_back(grid.CellView(col, row).Text);
    return texts;
}

std::vector<int> RedRows(TExtGrid &grid)
{
    std::vector<int> rows;
    for (int row = 1; row < grid.RowCount(); ++row)
        if (grid.CellView(1, row).Color == QColor(Qt::red)) rows.push_back(row);
    return rows;
}

std::string FooterText(const TCompForm &form) { return form.Footer->text().toStdString(); }

TTplEnt &Entry(TTemplate &tpl, int page, int index) { return tpl.Pages(page).Entries(index); }

// A database record of 28 March 2007, 14:05:30, whose one command turns Beep (code 1B4101) off.
void StoreRecord(const std::string &device, const std::string &serial, const std::string &templateName)
{
    TDBFile db;
    CfgDbRecord rec;
    rec.Set(DbField::Device, device);
    rec.Set(DbField::SerialNo, serial);
    rec.SetDateTime(EncodeOleDate({2007, 3, 28, 14, 5, 30, 0}));
    rec.Set(DbField::TemplateName, templateName);
    TDBFile::ListToData(rec, {"\x1B" "A\x01" + std::string(1, '\0')});
    TDBFile::MakeKey(rec);
    db.Store(rec);
}

} // namespace

class CompCfgTest : public ToolsFixture {
protected:
    void open()
    {
        form = std::make_unique<TCompForm>(nullptr);
        form->show();
    }
    std::unique_ptr<TCompForm> form;
};

TEST_F(CompCfgTest, RowsListEveryPageHeaderAndParameterOfTheCurrentTemplate)
{
    open();
    TExtGrid &grid = *form->Grid;
    EXPECT_EQ(form->windowTitle(), "Compare configurations");
    EXPECT_EQ(grid.Headers(), (std::vector<std::string> {"Configurations", "None", "None"}));
    EXPECT_EQ(Column(grid, 0), (std::vector<std::string> {"General", "  Beeper", "    -Beep", "    -Volume", "Codes",
                                                          "    -Prefix", "    -Prefix", "    -WidthLSB",
                                                          "    -WidthMSB"}));
    const std::vector<bool> bold = {true, true, false, false, true, false, false, false, false};
    for (int row = 1; row <= 9; ++row) EXPECT_EQ(grid.CellView(0, row).Bold, bold[std::size_t(row - 1)]) << row;
    EXPECT_EQ(Column(grid, 1), std::vector<std::string>(9));
    EXPECT_EQ(FooterText(*form), "");
    EXPECT_EQ(grid.DefaultRowHeight(), 16);
    const int w = grid.viewport()->width();
    EXPECT_EQ(grid.columnWidth(1), w / 3);
    EXPECT_EQ(grid.columnWidth(0), w - (w / 3) * 2 - 2);
    EXPECT_EQ(form->MainMenu1->actions().size(), 3);
    EXPECT_EQ(form->CurBtn2->toolTip(), "Current Configuration");
}

TEST_F(CompCfgTest, DefaultAgainstCurrentMarksTheChangedValuesInRed)
{
    tpl.SetEntryValue(Entry(tpl, 0, 1), 0x00);   // Beep Off
    tpl.SetEntryValue(Entry(tpl, 1, 0), 'Z');    // Prefix[1]
    tpl.SetEntryValue(Entry(tpl, 1, 3), 0x04);   // WidthMSB
    open();
    TExtGrid &grid = *form->Grid;

    form->DefBtn1->click();
    EXPECT_EQ(grid.Caption(1), "DEFAULT");
    EXPECT_EQ(Column(grid, 1), (std::vector<std::string> {"", "", "On", "Low", "", "A", "B", "$E8", "$03"}));
    EXPECT_TRUE(RedRows(grid).empty());   // one side only
    EXPECT_EQ(FooterText(*form), "");

    form->CurItem2->trigger();
    EXPECT_EQ(grid.Caption(2), "CURRENT");
    EXPECT_EQ(Column(grid, 2), (std::vector<std::string> {"", "", "Off", "Low", "", "Z", "B", "$E8", "$04"}));
    EXPECT_EQ(RedRows(grid), (std::vector<int> {3, 6, 9}));
    EXPECT_EQ(FooterText(*form), "3 differences detected");
    EXPECT_TRUE(ui.log().empty());

    // The current row is white on the selection, or red where it differs.
    EXPECT_EQ(grid.CellView(0, 1).Color, QColor(Qt::white));
    EXPECT_EQ(grid.CellView(0, 2).Color, QColor(Qt::black));
    grid.SetRow(3);
    EXPECT_EQ(grid.CellView(0, 3).Color, QColor(Qt::red));

    form->ClearBtn2->click();
    EXPECT_EQ(grid.Caption(2), "");
    EXPECT_EQ(Column(grid, 2), std::vector<std::string>(9));
    EXPECT_TRUE(RedRows(grid).empty());
    EXPECT_EQ(FooterText(*form), "3 differences detected");
}

TEST_F(CompCfgTest, LongNamesAreCutAfterTheirRowPrefix)
{
    const std::string name30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    dir.write("dev/LONG_.TPL", "STR: Long,,\r\nPAG: " + name30 + "\r\nHDR: " + name30 + "\r\nENT: " + name30 +
                                   ",1B4101=On,01\r\nVAL: On,01\r\n");
    Settings.DefTpl = "LONG_.TPL";
    open();
    EXPECT_EQ(Column(*form->Grid, 0),
              (std::vector<std::string> {name30.substr(0, 29), "  " + name30.substr(0, 28), "    -" + name30.substr(0, 25)}));
}

TEST_F(CompCfgTest, TitleShowsThePartBeforeItsFirstCommaLeftAligned)
{
    open();
    const std::string title = "A1 28,03,2007 and a long tail behind it";
    form->FillSide(TCompForm::RightSide, title);
    EXPECT_EQ(form->Grid->Caption(2), "A1 28");
    EXPECT_EQ(form->Grid->Headers()[2], title.substr(0, 30));
    EXPECT_EQ(form->Grid->Alignment(2), TExtGrid::AlignLeftCode);
}

TEST_F(CompCfgTest, ConfigurationFileOfAnotherTemplateAsksAndLeavesTheProgramsTemplateAlone)
{
    const ConfigRecords records = {"\x1B" "A\x01" + std::string(1, '\0'), "\x1B" "B\x01Z"};
    ASSERT_TRUE(WriteCfgFile(dir.file("dev/left.cfg"), "TEST_.TPL", records));
    dir.write("dev/OTHER.TPL", "STR: Other reader,,\r\nPAG: Other\r\nENT: Beep,1B4101=On,01\r\nVAL: Off,00\r\n");
    ASSERT_TRUE(WriteCfgFile(dir.file("dev/other.cfg"), "OTHER.TPL", records));
    Settings.DeviceTitle = "Test Reader";
    const ConfigRecords current = tpl.GetConfiguration();
    open();

    std::string startDir;
    {
        ChooseInLoadDialog user("left.cfg", &startDir);
        form->LoadBtn1->click();
    }
    EXPECT_EQ(form->Grid->Caption(1), "LEFT.CFG");
    EXPECT_EQ(Column(*form->Grid, 1),
              (std::vector<std::string> {"", "", "Off", "*Entry not found", "", "Z", "*Entry not found",
                                         "*Entry not found", "*Entry not found"}));
    EXPECT_EQ(startDir, dir.file("dev"));   // the dialog starts in the device folder

    ui.answer(false);
    {
        ChooseInLoadDialog user("other.cfg");
        form->LoadItem1->trigger();
    }
    EXPECT_EQ(ui.questions(), std::vector<std::string> {kDifferentTemplate});
    EXPECT_EQ(form->Grid->Caption(1), "LEFT.CFG");
    EXPECT_EQ(Column(*form->Grid, 1)[2], "Off");

    EXPECT_EQ(tpl.FileName, dir.file("dev/TEST_.TPL"));
    EXPECT_EQ(tpl.GetConfiguration(), current);
    EXPECT_EQ(Settings.DefTpl, "TEST_.TPL");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Test Reader");

    {
        ChooseInLoadDialog user("");   // cancelled
        form->LoadBtn2->click();
    }
    EXPECT_EQ(form->Grid->Caption(2), "None");
}

TEST_F(CompCfgTest, DatabaseRecordFillsASideThroughTheDatabaseWindow)
{
    StoreRecord("SCAN1", "A1", "TEST_.TPL");
    const ConfigRecords current = tpl.GetConfiguration();
    open();
    WhenModal<TDBForm>([](TDBForm &db) { db.OkBtn->click(); });
    form->DBBtn2->click();

    EXPECT_EQ(form->Grid->Caption(2), "A1 28 Mar 2007 14:05:30");
    EXPECT_EQ(Column(*form->Grid, 2)[2], "Off");
    EXPECT_EQ(Column(*form->Grid, 2)[5], "*Entry not found");
    EXPECT_EQ(form->Own().FileName, dir.file("dev/TEST_.TPL"));
    EXPECT_EQ(tpl.GetConfiguration(), current);
    EXPECT_TRUE(ui.log().empty());

    WhenModal<TDBForm>([](TDBForm &db) { db.EscBtn->click(); });
    form->DBItem1->trigger();
    EXPECT_EQ(form->Grid->Caption(1), "None");
}

TEST_F(CompCfgTest, DefaultsOfALocalizedTemplateAreReadFromTheSameFile)
{
    // Two "_" in the name: only the first becomes the language letter, once.
    dir.write("dev/MYBDEV_.TPL", kToolsTemplate);
    Settings.Language = "B";
    Settings.DefTpl = "MY_DEV_.TPL";
    ASSERT_TRUE(tpl.LoadFromFile(Settings.DefTpl));
    open();
    form->DefBtn1->click();
    EXPECT_TRUE(ui.log().empty());
    EXPECT_EQ(form->Grid->Caption(1), "DEFAULT");
    EXPECT_EQ(form->Own().FileName, dir.file("dev/MYBDEV_.TPL"));
    EXPECT_EQ(Column(*form->Grid, 1)[2], "On");
}

TEST_F(CompCfgTest, TemplatePickedFromAnotherDevicesFolderIsComparedFromThere)
{
    dir.write("dev2/MODEL_.TPL", "STR: Model reader,,\r\nPAG: Model page\r\nENT: Beep,1B4101=On,01\r\n"
                                 "VAL: Off,00\r\nVAL: On,01\r\n");
    dir.write("CORVANE.INI", "[SCAN2]\nDevPath=" + dir.file("dev2") + "\n");
    StoreRecord("SCAN2", "M1", "MODEL_.TPL");
    {
        // The editor's pick: the program's template is now the model's, the device folder stays.
        TDBForm db(nullptr, tpl);
        db.OkBtnClick();
        ASSERT_EQ(db.result(), QDialog::Accepted);
        tpl.ApplyConfiguration(db.Commands);
    }
    ASSERT_EQ(Settings.DefTpl, "MODEL_.TPL");
    ASSERT_EQ(Settings.DevPath, dir.file("dev") + "/");

    open();
    EXPECT_EQ(Column(*form->Grid, 0), (std::vector<std::string> {"Model page", "    -Beep"}));
    form->DefBtn1->click();
    form->CurBtn2->click();
    EXPECT_TRUE(ui.log().empty());   // the same template file on both sides: no question
    EXPECT_EQ(Column(*form->Grid, 1), (std::vector<std::string> {"", "On"}));
    EXPECT_EQ(Column(*form->Grid, 2), (std::vector<std::string> {"", "Off"}));
    EXPECT_EQ(FooterText(*form), "1 differences detected");
}

TEST_F(CompCfgTest, DefaultsThatCannotBeReadAgainLeaveTheSideAsItWas)
{
    open();
    std::filesystem::remove(dir.file("dev/TEST_.TPL"));
    form->DefBtnClick(TCompForm::LeftSide);
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Template TEST_.TPL not found!"});
    EXPECT_EQ(form->Grid->Caption(1), "None");
    EXPECT_EQ(Column(*form->Grid, 1), std::vector<std::string>(9));
}

TEST_F(CompCfgTest, DeviceSourceWithoutAConnectedReaderOnlyWarns)
{
    open();
    form->GetBtn1->click();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Device not connected!"});
    EXPECT_EQ(form->Grid->Caption(1), "None");
}

TEST_F(CompCfgTest, WithoutTemplateThereAreNoRowsAndNoDifferences)
{
    Settings.DefTpl.clear();
    tpl.Clear();
    ASSERT_TRUE(WriteCfgFile(dir.file("dev/a.cfg"), "TEST_.TPL", {"\x1B" "A\x01" + std::string(1, '\0')}));
    open();
    EXPECT_EQ(form->Grid->RowCount(), 1);
    tpl.FileName.clear();
    ui.answer(true);
    ui.answer(true);
    for (int side : {TCompForm::LeftSide, TCompForm::RightSide}) {
        ChooseInLoadDialog user("a.cfg");
        form->LoadBtnClick(side);
    }
    EXPECT_EQ(FooterText(*form), "0 differences detected");
}

// The reader is the simulator on a pty; the program's template is the simulator's M100 template.
class CompDeviceTest : public LinkFixture {
protected:
    void SetUp() override
    {
        LinkFixture::SetUp();
        QLocale::setDefault(QLocale::c());
        startLink();
        Settings.DevPath = dir.file("dev") + "/";
        Settings.DefTpl = "M100.TPL";
        ASSERT_TRUE(tpl.LoadFromFile("M100.TPL"));
        link->Connected = true;
        form = std::make_unique<TCompForm>(nullptr);
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        LinkFixture::TearDown();
    }
    std::unique_ptr<TCompForm> form;
};

TEST_F(CompDeviceTest, ReaderConfigurationIsComparedWithTheDefaults)
{
    form->DefBtn1->click();
    form->GetBtn2->click();

    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Dump, SimKind::Exit}));
    EXPECT_EQ(form->Grid->Caption(2), "DEVICE");
    EXPECT_EQ(Column(*form->Grid, 1), (std::vector<std::string> {"", "On", "Low"}));
    EXPECT_EQ(Column(*form->Grid, 2), (std::vector<std::string> {"", "Off", "High"}));
    EXPECT_EQ(FooterText(*form), "2 differences detected");
    EXPECT_EQ(view.statuses.back(), "Configuration received");
    EXPECT_FALSE(link->InHostMode);
    EXPECT_TRUE(ui.log().empty());
    EXPECT_EQ(tpl.GetConfiguration(), (ConfigRecords {"\x1B" "AB\x01", "\x1B" "AC" + std::string(1, '\0')}));
}

TEST_F(CompDeviceTest, FailedReadWarnsAndLeavesTheSide)
{
    sim.setDeviceError(SimKind::Dump, "busy");
    form->GetItem1->trigger();

    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Transfer failed!"});
    EXPECT_EQ(view.statuses.back(), "Transfer failed!");
    EXPECT_EQ(form->Grid->Caption(1), "None");
    EXPECT_EQ(sim.sequence().back(), SimKind::Exit);
    EXPECT_FALSE(link->InHostMode);
}

TEST_F(CompCfgTest, TabLeavesTheGridForTheButtons)
{
    open();
    form->Grid->SetRow(3);
    const std::vector<QWidget *> chain = testsupport::TabChain(form->Grid);
    EXPECT_EQ(form->Grid->Row(), 3);   // Tab moved no cell
    ASSERT_GE(chain.size(), 2u);
    EXPECT_EQ(std::count(chain.begin(), chain.end(), form->Grid), 1);
    EXPECT_EQ(std::count(chain.begin(), chain.end(), form->ExitBtn), 1);
    EXPECT_EQ(testsupport::TabChain(form->Grid, Qt::Key_Backtab).size(), chain.size());
}

TEST_F(CompCfgTest, GlyphButtonsAreNamedByTheirHints)
{
    open();
    for (QToolButton *b : {form->CurBtn1, form->LoadBtn2, form->ExitBtn})
        EXPECT_EQ(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name), b->toolTip());
}
