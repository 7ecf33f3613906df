// The configuration database window and its record dialog, offscreen with real widgets: insert, edit, delete,
// and picking a record, whose template is loaded from its device's folder and whose commands are handed back.

#include "ToolsFixture.h"
#include "TabChain.h"
#include "editor/DatabaseRecordDialog.h"
#include "editor/DatabaseWindow.h"
#include "platform/ErrorReport.h"
#include "editor/OleDate.h"
#include "editor/XGrid.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace {

const double kAt1405 = EncodeOleDate({2007, 3, 28, 14, 5, 30, 0});
const double kAt0900 = EncodeOleDate({2007, 3, 28, 9, 0, 0, 0});

struct RecordFields {
    std::string device, serial, author, description;
};

QStringList Lines(const QListWidget &list)
{
    QStringList lines;
    for (int i = 0; i < list.count(); ++i) lines << list.item(i)->text();
    return lines;
}

std::vector<std::string> RowTexts(TExtGrid &grid, int row)
{
    std::vector<std::string> texts;
    for (int col = 0; col < grid.ColCount(); ++col) texts.push_back(grid.CellView(col, row).Text);
    return texts;
}

// Types into the record dialog's edits (after emptying them) and closes it with OK.
void TypeIntoRecordDialog(const RecordFields &fields, QString *caption = nullptr, QStringList *commands = nullptr)
{
    WhenModal<TDBEditForm>([=](TDBEditForm &dialog) {
        if (caption) *caption = dialog.windowTitle();
        if (commands) *commands = Lines(*dialog.CfgList);
        const std::pair<QLineEdit *, std::string> edits[] = {{dialog.DevEdit, fields.device},
                                                             {dialog.SerEdit, fields.serial},
                                                             {dialog.Authedit, fields.author},
                                                             {dialog.DescEdit, fields.description}};
        for (const auto &[edit, text] : edits) {
            edit->clear();
            QTest::keyClicks(edit, QString::fromStdString(text));
        }
        dialog.OkBtn->click();
    });
}

} // namespace

class DBFormTest : public ToolsFixture {
protected:
    void seed(const std::string &serial, double date, const std::string &author, const std::string &device = "SCAN1",
              const std::string &templateName = "TEST_.TPL")
    {
        TDBFile db;
        CfgDbRecord rec;
        rec.Set(DbField::Device, device);
        rec.Set(DbField::SerialNo, serial);
        rec.SetDateTime(date);
        rec.Set(DbField::Author, author);
        rec.Set(DbField::Description, "Line 3");
        rec.Set(DbField::TemplateName, templateName);
        TDBFile::ListToData(rec, {std::string("\x1B" "A\x01\x00", 4), "\x1B" "B\x01Z"});
        TDBFile::MakeKey(rec);
        db.Store(rec);
    }
    void seedThree()
    {
        seed("A1", kAt0900, "Ann");
        seed("A1", kAt1405, "Bob");
        seed("B7", kAt1405, "Cy");
    }
    std::string statusText() const { return form->StatusBar->text().toStdString(); }
    void open(TTemplate &target)
    {
        form = std::make_unique<TDBForm>(nullptr, target);
        form->show();
    }
    void open() { open(tpl); }

    std::unique_ptr<TDBForm> form;
};

TEST_F(DBFormTest, WindowShowsTheRecordsInColumns)
{
    seedThree();
    open();
    EXPECT_EQ(form->windowTitle(), "Configuration Database");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->DBGrid->Headers(),
              (std::vector<std::string> {"Device", "Serial No.", "Date/Time", "Author", "Description"}));
    EXPECT_EQ(form->DBGrid->columnWidth(4), 152);
    EXPECT_EQ(form->DBGrid->RowCount(), 4);
    EXPECT_EQ(RowTexts(*form->DBGrid, 2),
              (std::vector<std::string> {"SCAN1", "A1", "28 Mar 2007 14:05:30", "Bob", "Line 3"}));
    EXPECT_EQ(statusText(), "Current record: 1/3");
    QTest::keyClick(form->DBGrid->viewport(), Qt::Key_Down);
    EXPECT_EQ(statusText(), "Current record: 2/3");
}

TEST_F(DBFormTest, EmptyDatabaseOffersNothingToEditDeleteOrPick)
{
    open();
    EXPECT_EQ(form->DBGrid->RowCount(), 1);
    EXPECT_EQ(statusText(), "Current record: 1/0");
    int dialogs = 0;
    QTimer::singleShot(0, [&] {
        if (QWidget *w = QApplication::activeModalWidget()) ++dialogs, w->close();
    });
    form->EditBtnClick();
    form->DelBtnClick();
    form->OkBtnClick();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(ui.log().empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(form->result(), QDialog::Accepted);
    EXPECT_TRUE(form->SelectionValid());
}

TEST_F(DBFormTest, InsertStoresTheCurrentConfigurationAfterTheRecordDialog)
{
    open();
    QString caption;
    QStringList commands;
    // The first OK without a serial number is refused; the dialog stays open for the second.
    WhenModal<TDBEditForm>([&](TDBEditForm &dialog) {
        caption = dialog.windowTitle();
        commands = Lines(*dialog.CfgList);
        QTest::keyClicks(dialog.DevEdit, "scan1");
        dialog.OkBtn->click();
        EXPECT_TRUE(dialog.isVisible());
        QTest::keyClicks(dialog.SerEdit, "a1x");
        QTest::keyClicks(dialog.Authedit, "Bob");
        dialog.OkBtn->click();
    });
    form->InsBtnClick();

    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Serial number required!"});
    EXPECT_EQ(caption, "Configuration data (TEST_.TPL)");
    EXPECT_EQ(commands, (QStringList {"<ESC>A<SOH><SOH>", "<ESC>A<STX><NUL>", "<ESC>B<SOH>A", "<ESC>B<STX>B",
                                      "<ESC>C<SOH><$E8>", "<ESC>C<STX><ETX>"}));
    TDBFile &db = form->File();
    ASSERT_EQ(db.Count(), 1);
    const CfgDbRecord rec = db.ReadRecord(1);
    EXPECT_EQ(rec.Get(DbField::Device), "SCAN1");
    EXPECT_EQ(rec.Get(DbField::SerialNo), "A1X");
    EXPECT_EQ(rec.Get(DbField::Author), "Bob");
    EXPECT_EQ(rec.Get(DbField::TemplateName), "TEST_.TPL");
    EXPECT_LT(std::abs(rec.DateTime() - OleDateNow()), 1.0 / 24);
    EXPECT_EQ(rec.Get(DbField::Key).substr(0, 10), "A1X       ");
    ConfigRecords stored;
    TDBFile::DataToList(rec, stored);
    EXPECT_EQ(stored, tpl.GetConfiguration());
    EXPECT_EQ(form->DBGrid->RowCount(), 2);
    EXPECT_EQ(RowTexts(*form->DBGrid, 1)[1], "A1X");
    EXPECT_EQ(statusText(), "Current record: 1/1");
}

TEST_F(DBFormTest, InsertWithoutTemplateStoresNoCommandsAndTheCutTemplateName)
{
    tpl.Clear();
    Settings.DefTpl = "A_VERY_LONG_TEMPLATE_NAME.TPL";
    open();
    QStringList commands {"unchanged"};
    TypeIntoRecordDialog({"", "S1", "", ""}, nullptr, &commands);
    form->InsBtnClick();
    EXPECT_TRUE(commands.isEmpty());
    const CfgDbRecord rec = form->File().ReadRecord(1);
    EXPECT_EQ(rec.DataLength(), 0);
    EXPECT_EQ(rec.Get(DbField::TemplateName), "A_VERY_LONG_TEMPLATE");
}

TEST_F(DBFormTest, InsertRefusesAConfigurationLargerThanARecord)
{
    std::string big = "STR: Big,,\r\nPAG: All\r\n";
    for (int i = 0; i < 460; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "ENT: P%d,1B%04X=V,00\r\nVAL: V,00\r\n", i, i);
        big += line;
    }
    dir.write("dev/BIG.TPL", big);
    ASSERT_TRUE(tpl.LoadFromFile("BIG.TPL"));
    open();
    form->InsBtnClick();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Configuration too large for the database!"});
    EXPECT_EQ(form->File().Count(), 0);
}

TEST_F(DBFormTest, EditingOnlyTheAuthorAsksToOverwriteTheRecord)
{
    seedThree();
    open();
    form->DBGrid->SetRow(2);
    const std::string before = dir.read("CFGDB.DAT");

    QStringList commands;
    ui.answer(false);
    TypeIntoRecordDialog({"SCAN1", "A1", "Dee", "Line 3"}, nullptr, &commands);
    form->EditBtnClick();
    EXPECT_EQ(commands, (QStringList {"<ESC>A<SOH><NUL>", "<ESC>B<SOH>Z"}));
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Overwrite?"});
    EXPECT_EQ(dir.read("CFGDB.DAT"), before);

    ui.answer(true);
    TypeIntoRecordDialog({"SCAN1", "A1", "Dee", "Line 3"});
    form->EditBtnClick();
    EXPECT_EQ(form->File().Count(), 3);
    EXPECT_EQ(form->File().ReadRecord(2).Get(DbField::Author), "Dee");
    EXPECT_EQ(form->File().ReadRecord(2).DateTime(), kAt1405);
}

TEST_F(DBFormTest, EditingTheSerialNumberAddsARecordUnderTheNewKey)
{
    seedThree();
    open();
    form->DBGrid->SetRow(2);
    TypeIntoRecordDialog({"SCAN1", "C9", "Bob", "Line 3"});
    form->EditBtnClick();

    TDBFile &db = form->File();
    ASSERT_EQ(db.Count(), 4);
    EXPECT_EQ(db.ReadRecord(2).Get(DbField::SerialNo), "A1");
    EXPECT_EQ(db.ReadRecord(4).Get(DbField::Key), "C9        200703281405");
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(form->DBGrid->RowCount(), 5);
    EXPECT_EQ(statusText(), "Current record: 2/4");
}

TEST_F(DBFormTest, DeletingTheLastRecordMovesUpAndKeepsTheEmptyRow)
{
    seedThree();
    open();
    form->DBGrid->SetRow(3);

    ui.answer(false);
    form->DelBtnClick();
    EXPECT_EQ(form->File().Count(), 3);

    ui.answer(true);
    form->DelBtnClick();
    EXPECT_EQ(ui.questions(), (std::vector<std::string> {"Delete record?", "Delete record?"}));
    EXPECT_EQ(form->File().Count(), 2);
    EXPECT_EQ(form->DBGrid->Row(), 2);
    EXPECT_EQ(form->DBGrid->RowCount(), 4);
    EXPECT_EQ(RowTexts(*form->DBGrid, 3), std::vector<std::string>(5));
    EXPECT_EQ(statusText(), "Current record: 2/2");
}

TEST_F(DBFormTest, RefusedRowMakesTheNextPickOnlyBeep)
{
    seedThree();
    open();
    form->DBGrid->SetRow(3);
    ui.answer(true);
    form->DelBtnClick();   // row 3 is now empty

    const QRect empty = form->DBGrid->visualRect(form->DBGrid->model()->index(2, 0));
    QTest::mouseDClick(form->DBGrid->viewport(), Qt::LeftButton, {}, empty.center());
    EXPECT_EQ(form->DBGrid->Row(), 2);
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(form->result(), QDialog::Accepted);
    EXPECT_TRUE(form->SelectionValid());

    const QRect first = form->DBGrid->visualRect(form->DBGrid->model()->index(0, 0));
    QTest::mouseDClick(form->DBGrid->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->RecordTitle.str(), "A1 28 Mar 2007 09:00:00");
}

TEST_F(DBFormTest, PickLoadsTheRecordsTemplateFromItsDeviceFolder)
{
    dir.write("dev2/MODEL_.TPL", "STR: Model reader,,\r\nPAG: Model page\r\nENT: Beep,1B4101=On,01\r\nVAL: On,01\r\n");
    dir.write("CORVANE.INI", "[SCAN2]\nDevPath=" + dir.file("dev2") + "\n");
    seed("A1", kAt1405, "Bob", "SCAN2", "MODEL_.TPL");
    open();
    form->OkBtnClick();

    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(tpl.FileName, dir.file("dev2/MODEL_.TPL"));
    EXPECT_EQ(Settings.DefTpl, "MODEL_.TPL");
    EXPECT_EQ(Settings.DevPath, dir.file("dev") + "/");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Model reader");
    EXPECT_EQ(form->Commands, (ConfigRecords {"\x1B" "A\x01" + std::string(1, '\0'), "\x1B" "B\x01Z"}));
    EXPECT_EQ(form->RecordTitle.str(), "A1 28 Mar 2007 14:05:30");
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(DBFormTest, PickOfAMissingTemplateAsksWhetherToGoOnWithoutIt)
{
    seed("A1", kAt1405, "Bob", "NODEV", "MISSING.TPL");
    open();
    const std::string question = "Template:MISSING.TPL not found.\rLoad anyway?";

    ui.answer(false);
    form->OkBtnClick();
    EXPECT_EQ(ui.questions(), std::vector<std::string> {question});
    EXPECT_NE(form->result(), QDialog::Accepted);
    EXPECT_TRUE(form->Commands.empty());

    ui.answer(true);
    form->OkBtnClick();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->Commands.size(), 2u);
    EXPECT_EQ(tpl.FileName, dir.file("dev/TEST_.TPL"));
    EXPECT_EQ(Settings.DefTpl, "TEST_.TPL");
}

TEST_F(DBFormTest, MissingTemplateIsNamedAsItWasLookedFor)
{
    // With a language letter the pick looks for the localized name in the device's folder, and says so.
    dir.write("dev2/MODEL_.TPL", "STR: Model reader,,\r\nPAG: Model page\r\n");
    dir.write("CORVANE.INI", "[SCAN2]\nDevPath=" + dir.file("dev2") + "\n");
    seed("A1", kAt1405, "Bob", "SCAN2", "MODEL_.TPL");
    Settings.Language = "B";
    open();
    ui.answer(false);
    form->OkBtnClick();
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Template:" + dir.file("dev2/MODELB.TPL") + " not found.\r"
                                                        "Load anyway?"});
    EXPECT_EQ(tpl.FileName, dir.file("dev/TEST_.TPL"));
}

TEST_F(DBFormTest, PickIntoAPrivateTemplateLeavesTheProgramsTemplateAlone)
{
    dir.write("dev2/MODEL_.TPL", "STR: Model reader,,\r\nPAG: Model page\r\n");
    dir.write("CORVANE.INI", "[SCAN2]\nDevPath=" + dir.file("dev2") + "\n");
    seed("A1", kAt1405, "Bob", "SCAN2", "MODEL_.TPL");
    Settings.DeviceTitle = "Test Reader";
    TTemplate own(TemplateScope::Private);
    open(own);
    form->OkBtnClick();

    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(own.FileName, dir.file("dev2/MODEL_.TPL"));
    EXPECT_EQ(tpl.FileName, dir.file("dev/TEST_.TPL"));
    EXPECT_EQ(Settings.DefTpl, "TEST_.TPL");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Test Reader");
}

// One database window at a time: a second one, of this program or another, is refused with the reason, and the
// first goes on storing; once it is closed the database opens again.
TEST_F(DBFormTest, ASecondWindowOnTheOpenDatabaseIsRefusedWithTheReason)
{
    seedThree();
    open();
    EXPECT_FALSE(ReportErrors([&] { TDBForm second(nullptr, tpl); }));   // as the guarded menu command runs it
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"The configuration database " + dir.file("CFGDB.DAT") +
                                                       " is in use by another program."});

    TypeIntoRecordDialog({"SCAN1", "C9", "Dee", ""});
    form->InsBtnClick();
    EXPECT_EQ(form->File().Count(), 4);
    form.reset();
    TDBForm again(nullptr, tpl);
    EXPECT_EQ(again.File().Count(), 4);
}

TEST(DbDateTimeText, ShortDateAndLongTimeOfTheLocaleOrNothing)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(DbDateTimeText(kAt1405), "28 Mar 2007 14:05:30");
    EXPECT_EQ(DbDateTimeText(std::numeric_limits<double>::quiet_NaN()), "");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DbDateTimeText(kAt0900), "28.03.07 09:00:00");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(DbDateTimeText(kAt1405), "3/28/07 2:05:30 PM");
    QLocale::setDefault(QLocale::c());
}

TEST_F(DBFormTest, TabLeavesTheGridAndVisitsEachButtonOnce)
{
    seedThree();
    open();
    form->DBGrid->SetRow(2);
    const std::vector<QWidget *> chain = testsupport::TabChain(form->DBGrid);
    EXPECT_EQ(form->DBGrid->Row(), 2);   // Tab moved no cell
    std::vector<QWidget *> backwards = testsupport::TabChain(form->DBGrid, Qt::Key_Backtab);
    std::reverse(backwards.begin() + 1, backwards.end());
    EXPECT_EQ(backwards, chain);
    for (QWidget *w : {static_cast<QWidget *>(form->DBGrid), static_cast<QWidget *>(form->InsBtn),
                       static_cast<QWidget *>(form->EditBtn), static_cast<QWidget *>(form->DelBtn),
                       static_cast<QWidget *>(form->OkBtn), static_cast<QWidget *>(form->EscBtn)})
        EXPECT_EQ(std::count(chain.begin(), chain.end(), w), 1) << w->metaObject()->className();
    form->DBGrid->setFocus();
    QTest::keyClick(form->DBGrid, Qt::Key_Down);
    EXPECT_EQ(form->DBGrid->Row(), 3);
}
