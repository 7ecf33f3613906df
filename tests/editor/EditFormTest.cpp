#include "EditFixture.h"
#include "TabChain.h"

#include "model/AppHelp.h"
#include "platform/HelpViewer.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QMdiArea>
#include <QMenu>
#include <QScrollBar>
#include <QTabBar>
#include <QToolButton>

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace {

class RecordingViewer final : public HelpViewer {
public:
    bool Load() override { return true; }
    void Release() override {}
    void DisplayTopic(const std::string &file, const std::string &page) override { calls.push_back("topic " + file + " " + page); }
    void DisplayIndex(const std::string &file, const std::string &keyword) override
    {
        calls.push_back("index " + file + " " + keyword);
    }
    std::vector<std::string> calls;
};

const QColor kPurple(128, 0, 128);

} // namespace

class EditFormTest : public EditFixture {};

TEST_F(EditFormTest, PagesAreTabsAndTheFirstParameterGetsTheList)
{
    openEditor();
    EXPECT_EQ(form->windowTitle(), "Test reader M100 - Edit Configuration");
    QStringList tabs;
    for (int i = 0; i < form->TabSet->count(); ++i) tabs << form->TabSet->tabText(i);
    EXPECT_EQ(tabs, (QStringList {"General", "Codes", "Hidden", "Safety"}));
    EXPECT_EQ(column(0), (Strings {"Beeper", " - Beep", " - Volume", "Timing", " - Delay", " - Range"}));
    EXPECT_EQ(column(1), (Strings {"Beeper", "On", "Low", "Timing", "$10", "$12"}));
    EXPECT_EQ(form->Cell(0, 0).Kind, TCellKind::Header);
    EXPECT_EQ(form->Cell(1, 1).Kind, TCellKind::Value);

    // The header at the top passes the current row on to the parameter below it.
    EXPECT_EQ(form->Grid->Row(), 1);
    EXPECT_EQ(form->ComboRow, 1);
    EXPECT_FALSE(form->Combo->isHidden());
    EXPECT_EQ(comboItems(), (QStringList {"Off", "On"}));
    EXPECT_EQ(form->Combo->currentText(), "On");
    EXPECT_EQ(form->Combo->geometry().topLeft(), form->Grid->CellRect(1, 1).topLeft());
}

namespace {

// Whether `target` stands somewhere below `node` in the accessibility tree.
bool holds(QAccessibleInterface *node, QAccessibleInterface *target, int depth = 0)
{
    if (node == target) return true;
    for (int i = 0; depth < 12 && i < node->childCount(); ++i)
        if (QAccessibleInterface *child = node->child(i); child && holds(child, target, depth + 1)) return true;
    return false;
}

} // namespace

// Screen readers see the page tabs as a page tab list in the editor window: each tab with its name and selected
// state, and a press action that shows its page as a click does.
TEST_F(EditFormTest, PageTabsAreAPageTabListWithNamedSelectableTabs)
{
    openEditor();
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(form->TabSet);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::PageTabList);
    EXPECT_TRUE(holds(QAccessible::queryAccessibleInterface(form.get()), list));
    ASSERT_EQ(list->childCount(), 4);
    QStringList names;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface *tab = list->child(i);
        ASSERT_NE(tab, nullptr);
        names << tab->text(QAccessible::Name);
        EXPECT_EQ(tab->role(), QAccessible::PageTab);
        EXPECT_EQ(bool(tab->state().selected), i == General) << i;
        EXPECT_EQ(tab->parent(), list);
        EXPECT_EQ(list->indexOfChild(tab), i);
        EXPECT_EQ(list->childAt(tab->rect().center().x(), tab->rect().center().y()), tab) << i;
    }
    EXPECT_EQ(names, (QStringList {"General", "Codes", "Hidden", "Safety"}));

    QAccessibleActionInterface *press = list->child(Codes)->actionInterface();
    ASSERT_NE(press, nullptr);
    EXPECT_EQ(press->actionNames(), QStringList {QAccessibleActionInterface::pressAction()});
    press->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(form->CurrentPage, int(Codes));
    EXPECT_EQ(column(0), (Strings {" - Mode", " - Prefix", " - Prefix", " - WidthLSB", " - WidthMSB"}));
    EXPECT_TRUE(list->child(Codes)->state().selected);
    EXPECT_FALSE(list->child(General)->state().selected);
    ASSERT_TRUE(testsupport::Activate(*form->window()));
    form->TabSet->setFocus();
    EXPECT_EQ(list->focusChild(), list->child(Codes));
}

// Every button says what it does to a screen reader, also those that show a glyph alone.
TEST_F(EditFormTest, EveryButtonHasAnAccessibleName)
{
    openEditor();
    int buttons = 0;
    for (QAbstractButton *b : form->findChildren<QAbstractButton *>()) {
        if (!b->isVisible()) continue;
        ++buttons;
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name).isEmpty()) << b->toolTip().toStdString();
    }
    EXPECT_GT(buttons, 0);
}

TEST_F(EditFormTest, PageKeysSwitchPagesUpToTheFirstAndTheLast)
{
    openEditor();
    pressKey(form->Combo, Qt::Key_PageDown);   // from the list, through the grid
    PumpUntil([&] { return form->CurrentPage == Codes; }, 1s);
    EXPECT_EQ(form->TabSet->currentIndex(), int(Codes));
    EXPECT_EQ(column(0), (Strings {" - Mode", " - Prefix", " - Prefix", " - WidthLSB", " - WidthMSB"}));
    // A parameter in the first row: the list holds that row's values (not the next row's).
    EXPECT_EQ(form->Grid->Row(), 0);
    EXPECT_EQ(form->ComboRow, 0);
    EXPECT_EQ(comboItems(), (QStringList {"Fast", "Slow"}));

    pressKey(form->Grid, Qt::Key_PageDown);
    EXPECT_EQ(form->CurrentPage, int(Hidden));
    EXPECT_EQ(form->Grid->RowCount(), 0);   // a page with nothing shown
    EXPECT_TRUE(form->Combo->isHidden());
    EXPECT_EQ(form->Cell(1, 0).Kind, TCellKind::Blank);
    form->GridClick();
    form->HelpTopicClick();
    EXPECT_TRUE(ui.log().empty());

    pressKey(form->Grid, Qt::Key_PageDown);
    pressKey(form->Grid, Qt::Key_PageDown);   // the last page stays
    EXPECT_EQ(form->CurrentPage, int(Safety));
    EXPECT_EQ(comboItems(), (QStringList {"No", "Yes"}));
    for (int i = 0; i < 4; ++i) pressKey(form->Grid, Qt::Key_PageUp);
    EXPECT_EQ(form->CurrentPage, int(General));
    EXPECT_EQ(form->Grid->Row(), 1);

    // From the open list too: it closes first.
    form->Combo->showPopup();
    pressKey(form->Combo->view(), Qt::Key_PageDown);
    EXPECT_FALSE(form->Combo->ListOpen);
    PumpUntil([&] { return form->CurrentPage == Codes; }, 1s);
    EXPECT_EQ(form->CurrentPage, int(Codes));
}

TEST_F(EditFormTest, ScrollingHidesTheListUntilARowIsChosen)
{
    openEditor();
    form->resize(form->width(), 140);
    PumpFor(50ms);
    form->Grid->SetRow(5);   // below the shown part: the grid scrolls, then the list comes
    ASSERT_GT(form->Grid->verticalScrollBar()->value(), 0);
    EXPECT_FALSE(form->Combo->isHidden());
    EXPECT_EQ(form->Combo->geometry().topLeft(), form->Grid->CellRect(1, 5).topLeft());
    form->Grid->verticalScrollBar()->setValue(0);
    EXPECT_TRUE(form->Combo->isHidden());
    clickAt(form->Grid->viewport(), form->Grid->CellRect(1, 1).center());
    EXPECT_FALSE(form->Combo->isHidden());
    EXPECT_EQ(form->ComboRow, 1);
}

TEST_F(EditFormTest, ValuesChosenByKeyAndMouseAreTheConfiguration)
{
    openEditor();
    ui.answer(true);                       // "Really loud"
    pressKey(form->Combo, Qt::Key_Down);   // to Volume
    PumpUntil([&] { return form->ComboRow == 2; }, 1s);
    pressKey(form->Combo, Qt::Key_Right);
    EXPECT_EQ(ui.questions(), Strings {"Really loud"});
    EXPECT_EQ(form->Cell(1, 2).Text, "High");

    clickAt(form->Grid->viewport(), form->Grid->CellRect(0, 4).center());   // Delay
    EXPECT_EQ(form->Grid->Row(), 4);
    EXPECT_EQ(form->ComboRow, 4);
    form->Combo->showPopup();
    clickListItem(5);
    EXPECT_FALSE(form->Combo->ListOpen);
    EXPECT_EQ(form->Cell(1, 4).Text, "$05");

    showPage(Codes);
    pressKey(form->Combo, Qt::Key_Right);   // Mode: Slow shows Suffix[1]
    EXPECT_EQ(column(0), (Strings {" - Mode", " - Suffix", " - Prefix", " - Prefix", " - WidthLSB", " - WidthMSB"}));

    using testsupport::readerRecord;
    EXPECT_EQ(tpl.GetConfiguration(),
              (ConfigRecords {readerRecord("AB", 1), readerRecord("AC", 1), readerRecord("AD", 5), readerRecord("AE", 0x12),
                              readerRecord("MD", 1), readerRecord("S1", 'Z'), readerRecord("P1", 'A'),
                              readerRecord("P2", 'B'), readerRecord("WL", 0xE8), readerRecord("WM", 3),
                              readerRecord("GH", 0), readerRecord("RS", 0), readerRecord("TB", 0)}));
    EXPECT_TRUE(sim.received().empty());   // not interactive
}

TEST_F(EditFormTest, DependentRowsComeAndGoWithTheirCondition)
{
    openEditor();
    pressKey(form->Combo, Qt::Key_Left);   // Beep: Off
    EXPECT_EQ(entry("Beep").ValueText.str(), "Off");
    EXPECT_EQ(column(0), (Strings {"Beeper", " - Beep", "Timing", " - Delay", " - Range"}));
    EXPECT_EQ(form->ComboRow, 1);
    pressKey(form->Combo, Qt::Key_Right);
    EXPECT_EQ(column(0), (Strings {"Beeper", " - Beep", " - Volume", "Timing", " - Delay", " - Range"}));

    // A whole group appears, header included; a declined question changes nothing.
    showPage(Safety);
    EXPECT_EQ(column(0), Strings {" - Reset"});
    ui.answer(false);
    pressKey(form->Combo, Qt::Key_Right);
    EXPECT_EQ(entry("Reset").ValueText.str(), "No");
    EXPECT_EQ(form->Combo->currentText(), "No");
    EXPECT_EQ(form->Grid->RowCount(), 1);
    ui.answer(true);
    pressKey(form->Combo, Qt::Key_Right);
    EXPECT_EQ(ui.questions(), (Strings {"Reset all settings", "Reset all settings"}));
    EXPECT_EQ(column(0), (Strings {" - Reset", "Extra", " - Turbo"}));
    EXPECT_EQ(form->Cell(1, 1).Kind, TCellKind::Header);
}

TEST_F(EditFormTest, ValueColoursAndTheListFollowTheState)
{
    openEditor();
    EXPECT_EQ(form->Cell(1, 1).Colour, QColor(Qt::black));
    link->Connected = true;
    link->Interactive = true;
    EXPECT_EQ(form->Cell(1, 1).Colour, QColor(Qt::red));
    EXPECT_EQ(form->Combo->TextColour(), QColor(Qt::red));
    link->Connected = false;
    EXPECT_EQ(form->Combo->TextColour(), QColor(Qt::black));

    // Volume has no value in the applied configuration: purple in both columns, and no list on its row.
    tpl.ApplyConfiguration({testsupport::readerRecord("AB", 1)});
    form->RefreshAll();
    EXPECT_EQ(form->Cell(0, 2).Colour, kPurple);
    EXPECT_EQ(form->Cell(1, 2).Colour, kPurple);
    EXPECT_EQ(form->Cell(1, 2).Text, "*Entry not found");
    pressKey(form->Combo, Qt::Key_Down);
    PumpUntil([&] { return form->Grid->Row() == 2; }, 1s);
    EXPECT_TRUE(form->Combo->isHidden());
    EXPECT_EQ(form->ComboRow, 1);
}

TEST_F(EditFormTest, PairAndTextRowsOpenTheirDialogsFromKeysAndTheButton)
{
    openEditor();
    std::vector<std::pair<std::string, std::string>> opened;
    // Record which dialog each request asks for instead of opening it.
    QObject::disconnect(form, &TEditForm::EditLsbMsbRequested, form, nullptr);
    QObject::disconnect(form, &TEditForm::EditStringRequested, form, nullptr);
    QObject::connect(form, &TEditForm::EditLsbMsbRequested, [&](TTplEnt *e) { opened.push_back({"pair", e->Name}); });
    QObject::connect(form, &TEditForm::EditStringRequested,
                     [&](TTplEnt *e) { opened.push_back({"text", e->Name.str() + "[" + std::to_string(e->ArrayIndex) + "]"}); });
    showPage(Codes);
    pressKey(form->Combo, Qt::Key_Right);   // Mode: Slow shows Suffix[1] above the prefix
    EXPECT_EQ(form->Cell(1, 4).Text, "$E8 (1000)");
    EXPECT_EQ(form->Cell(1, 5).Text, "$03");

    form->Grid->SetRow(3);   // Prefix[2]
    EXPECT_TRUE(form->Combo->isHidden());
    EXPECT_EQ(form->ComboRow, 3);
    EXPECT_TRUE(form->Cell(1, 3).Button);
    EXPECT_FALSE(form->Cell(1, 2).Button);
    pressKey(form->Grid, Qt::Key_Space);
    pressKey(form->Grid, Qt::Key_Down);
    pressKey(form->Grid, Qt::Key_Return);

    // The button at the right end of the current value cell; elsewhere in the cell nothing opens.
    form->Grid->SetRow(5);
    const QRect cell = form->Grid->CellRect(1, 5);
    clickAt(form->Grid->viewport(), QPoint(cell.left() + 4, cell.center().y()));
    clickAt(form->Grid->viewport(), TEditGrid::ButtonRect(cell).center());
    // On a name cell keys do nothing.
    clickAt(form->Grid->viewport(), form->Grid->CellRect(0, 5).center());
    pressKey(form->Grid, Qt::Key_Space);

    EXPECT_EQ(opened, (std::vector<std::pair<std::string, std::string>> {
                          {"text", "Prefix[2]"}, {"pair", "WidthLSB"}, {"pair", "WidthMSB"}}));
}

TEST(EditGrid, ButtonHitTestAndPlace)
{
    const QRect cell(100, 20, 140, 17);
    EXPECT_FALSE(TEditGrid::InButton(cell, 221));
    EXPECT_TRUE(TEditGrid::InButton(cell, 222));
    const QRect button = TEditGrid::ButtonRect(cell);
    EXPECT_EQ(button, QRect(222, 21, 16, 14));
    EXPECT_TRUE(TEditGrid::InButton(cell, button.left() + 2));
}

TEST_F(EditFormTest, HelpForTheEntryUnderTheList)
{
    RecordingViewer viewer;
    SetHelpViewer(&viewer);
    LoadHtmlHelp();
    openEditor();
    const std::string hlp = dir.file("dev") + "/M100.HLP";
    EXPECT_EQ(AppHelpFile, hlp);

    form->HelpTopicClick();   // no compiled help beside the help file
    EXPECT_EQ(ui.warnings(), Strings {"Help not available!\rHelp file not found: " + dir.file("dev") + "/M100.CHM"});

    const std::string chm = dir.write("dev/m100.chm", "");
    form->HelpTopic->trigger();   // Beep: help number 11
    form->Grid->SetRow(2);        // Volume: none (-1), shown as a pop-up of 1
    form->HelpBtn->click();
    form->HelpContents->trigger();
    form->HelpSearch->trigger();
    EXPECT_EQ(viewer.calls, (Strings {"topic " + chm + " html/11.HTM", "topic " + chm + " html/1.HTM",
                                      "topic " + chm + " ", "index " + chm + " "}));
    UnloadHtmlHelp();
    SetHelpViewer(nullptr);

    EXPECT_EQ(CompiledHelpFile("a/B.HLP"), "a/B.CHM");
    EXPECT_EQ(CompiledHelpFile("a.b/HELP"), "a.b/HELP.CHM");
}

TEST_F(EditFormTest, WithoutATemplateNothingIsShown)
{
    openEditor();
    tpl.Clear();
    form->RefreshAll();
    EXPECT_EQ(form->windowTitle(), "None - Edit Configuration");
    EXPECT_EQ(form->TabSet->count(), 0);
    EXPECT_TRUE(form->Grid->isHidden());
    EXPECT_TRUE(form->Combo->isHidden());
    EXPECT_TRUE(form->OverBtn->isHidden());
    form->HelpTopicClick();
    EXPECT_EQ(ui.warnings(), Strings {"Help not available!"});
}

TEST_F(EditFormTest, OverflowButtonOnlyForOverflowEntriesWithScanners)
{
    openEditor();
    form->Grid->SetRow(5);   // Range
    EXPECT_TRUE(form->OverBtn->isHidden());   // no [Overflow] lines
    Settings.OverflowList = {"S1=100,6,1,0,1,2"};
    form->GridClick();
    EXPECT_FALSE(form->OverBtn->isHidden());
    EXPECT_TRUE(form->OverBtn->isEnabled());
    form->Grid->SetRow(4);
    EXPECT_TRUE(form->OverBtn->isHidden());
}

TEST_F(EditFormTest, MenusAndButtonsOfThisBuild)
{
    openEditor();
    const std::vector<TMenuGroup> groups = form->MenuGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].group, 1);
    EXPECT_EQ(groups[0].menu->title(), "Co&mmands");
    EXPECT_EQ(groups[1].group, 3);
    EXPECT_EQ(groups[1].menu->title(), "&Help");
    QStringList items;
    for (QAction *a : form->File1->actions())
        if (!a->isSeparator()) items << a->text() + (a->isEnabled() ? "" : " (off)");
    EXPECT_EQ(items, (QStringList {"&Load...", "&Save...", "&Database", "&Info", "&Compare", "&Overflow",
                                   "&Print...", "E&xit"}));
    EXPECT_EQ(form->HelpTopic->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_FALSE(form->About1->isEnabled());
    EXPECT_EQ(form->SaveBtn->toolTip(), "Save configuration");

    form->Info2->trigger();
    EXPECT_EQ(ui.texts(testsupport::ScriptedUi::Kind::Information), Strings {"Device: Test reader M100\rTemplate: M100.TPL\rInfo text"});

    const std::string cfg = dir.file("saved.cfg");
    ui.chooseFile(cfg);
    form->SaveBtn->click();
    EXPECT_EQ(dir.read("saved.cfg").substr(0, 12), "M100.TPL    ");
}

TEST_F(EditFormTest, KeepsItsWidthAndMaximizesToTheClientHeight)
{
    startLink();
    Settings.DevPath = dir.file("dev") + "/";
    ASSERT_TRUE(tpl.LoadFromFile("M100.TPL"));
    QMdiArea area;
    area.resize(900, 600);
    area.show();
    form = new TEditForm;
    area.addSubWindow(form);
    form->show();
    PumpFor(50ms);
    const int width = form->width();
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_EQ(form->widget()->width(), 295 + 16);
    form->resize(width + 100, 300);
    EXPECT_EQ(form->width(), width);
    EXPECT_EQ(form->height(), 300);

    form->move(40, 40);
    form->showMaximized();
    PumpUntil([&] { return !form->isMaximized(); }, 1s);
    EXPECT_FALSE(form->isMaximized());
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_EQ(form->width(), width);
    EXPECT_EQ(form->height(), area.viewport()->height());
    delete form.data();
}

TEST_F(EditFormTest, ClosingUnregistersTheWindow)
{
    openEditor();
    EXPECT_EQ(link->EditView, form.data());
    EXPECT_EQ(EditForm, form.data());
    form->Exit1->trigger();
    PumpFor(50ms);
    EXPECT_TRUE(form.isNull());
    EXPECT_FALSE(link->HasEditView());
    EXPECT_EQ(EditForm, nullptr);
}
