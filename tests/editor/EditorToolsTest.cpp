// The editor's commands that open the other tools: load configuration, overflow calculator, 16-bit and string
// dialogs, each acted on as a user would while the editor waits in it.

#include "EditFixture.h"
#include "ModalDriver.h"
#include "editor/FileBrowser.h"
#include "editor/LoadConfigDialog.h"
#include "editor/OverflowCalculator.h"
#include "editor/StringDialog.h"
#include "editor/Value16Dialog.h"
#include "model/CfgFile.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

using testsupport::OnModal;
using testsupport::readerRecord;

class EditorToolsTest : public EditFixture {};

TEST_F(EditorToolsTest, LoadTakesTheFileChosenInTheLoadDialog)
{
    openEditor();
    ASSERT_TRUE(WriteCfgFile(dir.file("dev/saved.cfg"), "M100.TPL", {readerRecord("AB", 1), readerRecord("AD", 0x07)}));
    OnModal<TLoadCfgForm> user([](TLoadCfgForm &dialog) {
        const QList<QListWidgetItem *> found = dialog.Browser->FileList->findItems("saved.cfg", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        dialog.Browser->FileList->setCurrentItem(found.first());
        dialog.OkBtn->click();
    });
    form->LoadBtn->click();
    ASSERT_TRUE(user.ran());
    EXPECT_EQ(entry("Beep").ValueText.str(), "On");
    EXPECT_EQ(entry("Delay").ValueText.str(), "$07");
    EXPECT_EQ(form->Cell(1, 1).Text, "On");   // the window shows the loaded values

    OnModal<TLoadCfgForm> cancel([](TLoadCfgForm &dialog) { dialog.reject(); });
    form->Open1->trigger();
    EXPECT_TRUE(cancel.ran());
    EXPECT_EQ(entry("Beep").ValueText.str(), "On");
}

TEST_F(EditorToolsTest, AValueChosenInTheOverflowCalculatorIsApplied)
{
    // An overflow entry whose values are times, and the scanner of the calculator's worked example.
    dir.write("dev/M100.TPL", "STR: Test reader M100,,Info\r\nPAG: General\r\n"
                              "ENT: ~Overflow,1B4F46=10 \xB5s,00\r\nVAL: 10 \xB5s,00\r\nVAL: 20 \xB5s,01\r\n"
                              "VAL: 25 \xB5s,02\r\nVAL: 40 \xB5s,03 ?Really 40\r\nVAL: 50 \xB5s,04\r\nVAL: Off,05\r\n");
    openEditor();
    ui.answer(true);
    Settings.OverflowList = {kOverflowScanner};
    form->GridClick();
    ASSERT_FALSE(form->OverBtn->isHidden());
    OnModal<TOverForm> user([](TOverForm &calc) {
        EXPECT_EQ(calc.PageIndex, 0);
        EXPECT_EQ(calc.EntryIndex, 0);
        enterOverflowGeometry(calc);
        ASSERT_EQ(calc.TDList->count(), 3);   // 25, 40 and 50 µs lie between the results
        calc.TDList->setCurrentRow(1);
        calc.OkBtn->click();
    });
    form->OverBtn->click();
    ASSERT_TRUE(user.ran());
    EXPECT_EQ(entry("Overflow").Value, 0x03);
    EXPECT_EQ(entry("Overflow").ValueText.str(), "40 \xB5s");
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Really 40"});   // asked once
}

TEST_F(EditorToolsTest, TheCalculatorServesOnlyTheCurrentRowWhenItsValuesAreInTheList)
{
    dir.write("dev/M100.TPL", "STR: Test reader M100,,Info\r\nPAG: General\r\n"
                              "ENT: Beep,1B4142=On,01\r\nVAL: Off,00\r\nVAL: On,01\r\n"
                              "ENT: ~Overflow,1B4F46=10 \xB5s,00\r\nVAL: 10 \xB5s,00\r\nVAL: 40 \xB5s,03\r\n"
                              "ENT: ~Spare,1B4F47=10 \xB5s,00\r\nVAL: 10 \xB5s,00\r\nVAL: 40 \xB5s,03\r\n");
    openEditor();
    Settings.OverflowList = {kOverflowScanner};
    tpl.ApplyConfiguration({readerRecord("AB", 1), readerRecord("OF", 0)});   // Spare gets no value
    form->RefreshAll();

    // The unset row: no button, and the menu command opens nothing.
    form->Grid->SetRow(2);
    EXPECT_TRUE(form->OverBtn->isHidden());
    {
        OnModal<TOverForm> none([](TOverForm &calc) { calc.reject(); });
        form->Overflow2->trigger();
        EXPECT_FALSE(none.ran());
    }

    // The overflow row opened after the row above had the list: the calculator gets this row's entry.
    form->Grid->SetRow(1);
    ASSERT_FALSE(form->OverBtn->isHidden());
    int32_t entryIndex = -1;
    OnModal<TOverForm> user([&](TOverForm &calc) {
        entryIndex = calc.EntryIndex;
        calc.reject();
    });
    form->OverBtn->click();
    ASSERT_TRUE(user.ran());
    EXPECT_EQ(entryIndex, 1);
    EXPECT_EQ(entry("Beep").ValueText.str(), "On");
    EXPECT_TRUE(entry("Spare").Unset);
}

TEST_F(EditorToolsTest, PairAndTextRowsOpenTheirDialogs)
{
    openEditor();
    showPage(Codes);
    form->Grid->SetRow(3);   // WidthLSB, the first half of a 16-bit pair (Suffix[1] is hidden while Mode is Fast)
    OnModal<TXSBForm> pair([](TXSBForm &dialog) {
        dialog.SetValue(4660);
        dialog.OKBtn->click();
    });
    pressKey(form->Grid, Qt::Key_Space);
    ASSERT_TRUE(pair.ran());
    EXPECT_EQ(entry("WidthLSB").Value, 0x34);
    EXPECT_EQ(entry("WidthMSB").Value, 0x12);
    EXPECT_EQ(form->Cell(1, 3).Text, "$34 (4660)");

    form->Grid->SetRow(1);   // Prefix[1], a character of a text
    OnModal<TStrForm> text([](TStrForm &dialog) { dialog.reject(); });
    pressKey(form->Grid, Qt::Key_Return);
    EXPECT_TRUE(text.ran());
}
