#include "EditorFixture.h"
#include "ModalDriver.h"
#include "editor/FileBrowser.h"
#include "editor/LoadConfigDialog.h"
#include "editor/LoadTemplateDialog.h"
#include "model/Settings.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

using testsupport::OnModal;

namespace {

const std::string kCfgName = "MODEL_.TPL  ";
const std::string kTwoRecords = std::string("\x1B" "A \x05", 4) + "\x1B" "BC\x01";

QStringList fileNames(const TFileBrowser &browser)
{
    QStringList names;
    for (int i = 0; i < browser.FileList->count(); ++i) names << browser.FileList->item(i)->text();
    return names;
}

void selectFile(TFileBrowser &browser, const QString &name)
{
    const QList<QListWidgetItem *> found = browser.FileList->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    QTest::mouseClick(browser.FileList->viewport(), Qt::LeftButton, {},
                      browser.FileList->visualItemRect(found.first()).center());
}

// Press and release, then the second press that the system reports as a double click.
void doubleClick(QListWidget *list, const QListWidgetItem *item)
{
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

QStringList lines(const QListWidget &list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
    return texts;
}

// The outline as "depth:text" in display order.
void collect(const QTreeWidgetItem *item, int depth, QStringList &out)
{
    out << QString::number(depth) + ":" + item->text(0);
    for (int i = 0; i < item->childCount(); ++i) collect(item->child(i), depth + 1, out);
}
QStringList outline(const QTreeWidget &tree)
{
    QStringList out;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) collect(tree.topLevelItem(i), 0, out);
    return out;
}

} // namespace

class LoadCfgTest : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        dir.write("dev/a.cfg", kCfgName + kTwoRecords);
        dir.write("dev/B.CFG", kCfgName);
        dir.write("dev/c.txt", "");
        dir.write("dev/short.cfg", kCfgName + kTwoRecords + "\x1B" "D\x02");
    }
    std::string select(std::function<void(TLoadCfgForm &)> act)
    {
        OnModal<TLoadCfgForm> user(std::move(act));
        const std::string chosen = SelectConfigurationFile(nullptr);
        EXPECT_TRUE(user.ran());
        return chosen;
    }
};

TEST_F(LoadCfgTest, PreviewShowsTheTemplateNameAndEachRecord)
{
    const std::string chosen = select([&](TLoadCfgForm &form) {
        EXPECT_EQ(form.windowTitle(), "Load configuration");
        EXPECT_EQ(fileNames(*form.Browser), (QStringList {"a.cfg", "B.CFG", "short.cfg"}));   // not c.txt
        selectFile(*form.Browser, "a.cfg");
        form.ViewBtn->click();
        form.ViewBtn->click();   // a second preview shows the records once
        EXPECT_EQ(form.TplLabel->text(), "Template: MODEL_.TPL");
        EXPECT_EQ(lines(*form.CfgList), (QStringList {"<ESC>A<Space><ENQ>", "<ESC>BC<SOH>"}));
        selectFile(*form.Browser, "B.CFG");   // another file clears the preview
        EXPECT_EQ(form.TplLabel->text(), "Template:");
        EXPECT_EQ(form.CfgList->count(), 0);
        form.ViewBtn->click();   // only the name field
        EXPECT_EQ(form.TplLabel->text(), "Template: MODEL_.TPL");
        EXPECT_EQ(form.CfgList->count(), 0);
        form.OkBtn->click();
    });
    EXPECT_EQ(chosen, dir.file("dev/B.CFG"));
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(LoadCfgTest, FileEndingInsideARecordIsReportedAfterTheWholeRecords)
{
    std::filesystem::permissions(dir.file("dev/short.cfg"), std::filesystem::perms::owner_read);   // read-only
    select([&](TLoadCfgForm &form) {
        selectFile(*form.Browser, "short.cfg");
        form.ViewBtn->click();
        EXPECT_EQ(lines(*form.CfgList), (QStringList {"<ESC>A<Space><ENQ>", "<ESC>BC<SOH>"}));
        EXPECT_TRUE(form.CfgList->updatesEnabled());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        form.reject();
    });
    ASSERT_EQ(ui.warnings().size(), 1u);
    EXPECT_NE(ui.warnings()[0].find("short.cfg"), std::string::npos);
}

TEST_F(LoadCfgTest, OkNeedsASelectedFileAndCancelChoosesNothing)
{
    bool stayed = false;
    EXPECT_EQ(select([&](TLoadCfgForm &form) {
                  form.OkBtn->click();
                  stayed = form.isVisible();
                  form.CancelBtn->click();
              }),
              "");
    EXPECT_TRUE(stayed);
    EXPECT_EQ(select([&](TLoadCfgForm &form) { form.close(); }), "");
    EXPECT_EQ(select([&](TLoadCfgForm &form) {
                  const QListWidgetItem *item = form.Browser->FileList->findItems("a.cfg", Qt::MatchExactly).first();
                  doubleClick(form.Browser->FileList, item);
              }),
              dir.file("dev/a.cfg"));
}

TEST_F(LoadCfgTest, MissingDeviceFolderLeavesTheListsInTheCurrentDirectory)
{
    testsupport::ScopedCwd cwd(dir.path() / "dev");
    Settings.DevPath = dir.file("gone") + "/";
    select([&](TLoadCfgForm &form) {
        EXPECT_EQ(form.Browser->Directory(), dir.file("dev"));
        EXPECT_EQ(fileNames(*form.Browser), (QStringList {"a.cfg", "B.CFG", "short.cfg"}));
        form.reject();
    });
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(LoadCfgTest, WindowReopensWithItsPlaceSizeAndSplittersAlsoAfterARestart)
{
    select([&](TLoadCfgForm &form) {
        form.setGeometry(30, 40, 520, 410);
        QCoreApplication::processEvents();   // the layout follows the new size before the user drags
        form.Splitter1->setSizes({150, 370});
        form.Splitter2->setSizes({120, 200});
        form.reject();
    });
    const TFormRect saved = Settings.LoadCfgBounds;
    const auto split = Settings.LoadCfgSplit;
    EXPECT_EQ(saved.Width, 520);
    EXPECT_EQ(saved.Height, 410);
    EXPECT_NE(ini().find("LoadCfg=" + std::to_string(saved.Left) + "," + std::to_string(saved.Top) + ",520,410"),
              std::string::npos);
    EXPECT_EQ(split[0], 150);
    EXPECT_NE(ini().find("LoadCfgSplit=150," + std::to_string(split[1])), std::string::npos) << ini();

    Settings = TCVSetup {};
    ReadSettings();
    select([&](TLoadCfgForm &form) {
        EXPECT_EQ(form.pos(), QPoint(saved.Left, saved.Top));
        EXPECT_EQ(form.size(), QSize(520, 410));
        EXPECT_EQ(form.Panel2->width(), split[0]);
        EXPECT_EQ(form.Panel3->height(), split[1]);
        form.reject();
    });
}

class LoadTplTest : public EditorFixture {
protected:
    std::string select(std::function<void(TTplForm &)> act)
    {
        OnModal<TTplForm> user(std::move(act));
        const std::string chosen = SelectTemplateFile(nullptr);
        EXPECT_TRUE(user.ran());
        return chosen;
    }
};

TEST_F(LoadTplTest, PreviewIndentsLinesByTheirKind)
{
    dir.write("tpl/model_.tpl",
              "DIC: d\r\n"
              "DEF: OnOff\r\n"
              "VAL: On,1\r\n"
              "STR: Dev,h.hlp,i\r\n"
              "PAG: P1\r\n"
              "HDR: G\r\n"
              "ent: Beep , 0A0B0C = Low , 01 ; c\r\n"
              "VAL: Low,01\r\n"
              "DEF: OnOff\r\n"
              "; x\r\n"
              "XYZ: q\r\n");
    dir.write("tpl/X.TPL", "");
    dir.write("tpl/a.cfg", "");
    testsupport::ScopedCwd cwd(dir.path() / "tpl");
    const std::string chosen = select([&](TTplForm &form) {
        EXPECT_EQ(form.windowTitle(), "Load template");
        EXPECT_EQ(fileNames(*form.Browser), (QStringList {"model_.tpl", "X.TPL"}));
        selectFile(*form.Browser, "model_.tpl");
        form.ViewBtn->click();
        EXPECT_EQ(outline(*form.TplTree), (QStringList {"0:DIC: d", "1:DEF: OnOff", "2:VAL: On,1", "0:STR: Dev,h.hlp,i",
                                                         "1:PAG: P1", "2:HDR: G", "3:ent: Beep , 0A0B0C = Low , 01",
                                                         "4:VAL: Low,01", "4:DEF: OnOff"}));
        EXPECT_TRUE(form.TplTree->updatesEnabled());
        selectFile(*form.Browser, "X.TPL");   // another file empties the outline
        EXPECT_EQ(form.TplTree->topLevelItemCount(), 0);
        form.OkBtn->click();
    });
    EXPECT_EQ(chosen, dir.file("tpl/X.TPL"));
}

TEST_F(LoadTplTest, DeeperLineWithoutItsLevelGoesUnderTheNearestShallowerLine)
{
    dir.write("tpl/jump.tpl", "VAL: early\r\nSTR: s\r\nPAG: p\r\nENT: e,1B0000=a,00\r\nDIC: d\r\nVAL: v\r\n");
    testsupport::ScopedCwd cwd(dir.path() / "tpl");
    select([&](TTplForm &form) {
        form.PreviewFile(dir.file("tpl/jump.tpl"));
        EXPECT_EQ(outline(*form.TplTree),
                  (QStringList {"0:VAL: early", "0:STR: s", "1:PAG: p", "2:ENT: e,1B0000=a,00", "0:DIC: d", "1:VAL: v"}));
        form.reject();
    });
}

TEST_F(LoadTplTest, OkNeedsASelectionAndAVanishedFileChangesNothing)
{
    dir.write("tpl/gone.tpl", "DIC: d\r\n");
    testsupport::ScopedCwd cwd(dir.path() / "tpl");
    bool stayed = false;
    EXPECT_EQ(select([&](TTplForm &form) {
                  form.OkBtn->click();
                  stayed = form.isVisible();
                  selectFile(*form.Browser, "gone.tpl");
                  form.ViewBtn->click();
                  std::filesystem::remove(dir.file("tpl/gone.tpl"));
                  form.PreviewFile(dir.file("tpl/gone.tpl"));
                  EXPECT_EQ(outline(*form.TplTree), (QStringList {"0:DIC: d"}));
                  form.BitBtn1->click();
              }),
              "");
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(ui.warnings().empty());
}

// Enter from where the user stands: the folder list enters the folder and leaves the dialog open; in the file
// list and on the Preview button it is Ok.
namespace {

QListWidgetItem *folderItem(const TFileBrowser &browser, const QString &name)
{
    for (int i = 0; i < browser.DirList->count(); ++i)
        if (browser.DirList->item(i)->text().trimmed() == name) return browser.DirList->item(i);
    return nullptr;
}

template <class Form>
void enterFolderThenPressEnter(Form &form, const QString &file, QWidget *target)
{
    QListWidget *dirs = form.Browser->DirList;
    const std::string home = form.Browser->Directory();
    dirs->setFocus();
    dirs->setCurrentItem(folderItem(*form.Browser, "sub"));
    QTest::keyClick(dirs, Qt::Key_Return);
    ASSERT_TRUE(form.isVisible());
    EXPECT_EQ(form.Browser->Directory(), home + "/sub");
    ASSERT_TRUE(form.Browser->SetDirectory(home));
    selectFile(*form.Browser, file);
    EXPECT_TRUE(form.OkBtn->isDefault());
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
}

} // namespace

TEST_F(LoadCfgTest, EnterIsOkWhereverTheUserStands)
{
    std::filesystem::create_directories(dir.path() / "dev" / "sub");
    for (const bool onPreview : {false, true}) {
        EXPECT_EQ(select([&](TLoadCfgForm &form) {
                      enterFolderThenPressEnter(form, "a.cfg",
                                                onPreview ? static_cast<QWidget *>(form.ViewBtn) : form.Browser->FileList);
                      EXPECT_EQ(form.CfgList->count(), 0);   // no preview ran
                      if (form.isVisible()) form.reject();
                  }),
                  dir.file("dev/a.cfg"))
            << onPreview;
    }
}

TEST_F(LoadTplTest, EnterIsOkWhereverTheUserStands)
{
    dir.write("tpl/X.TPL", "DIC: d\r\n");
    std::filesystem::create_directories(dir.path() / "tpl" / "sub");
    testsupport::ScopedCwd cwd(dir.path() / "tpl");
    for (const bool onPreview : {false, true}) {
        EXPECT_EQ(select([&](TTplForm &form) {
                      enterFolderThenPressEnter(form, "X.TPL",
                                                onPreview ? static_cast<QWidget *>(form.ViewBtn) : form.Browser->FileList);
                      EXPECT_EQ(form.TplTree->topLevelItemCount(), 0);   // no preview ran
                      if (form.isVisible()) form.reject();
                  }),
                  dir.file("tpl/X.TPL"))
            << onPreview;
    }
}
