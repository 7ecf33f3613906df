#include "KeyInput.h"
#include "TermFixture.h"
#include "link/ByteLineEdit.h"
#include "link/MacroEditor.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace std::chrono_literals;

class MacroFormTest : public TermFixture {
protected:
    // Opens the macro editor from the Terminal and runs `steps` on it once it is shown and active.
    void editMacros(std::function<void(TMacroForm &)> steps)
    {
        bool ran = false;
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            auto *dialog = qobject_cast<TMacroForm *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isActiveWindow()) return;
            poll->stop();
            poll->deleteLater();
            ran = true;
            steps(*dialog);
            if (dialog->isVisible()) dialog->reject();   // a failed step must not leave the test waiting
        });
        poll->start(10);
        term->MacroBtnClick();
        EXPECT_TRUE(ran);
    }

    static QStringList names(const TMacroForm &d)
    {
        QStringList out;
        for (int i = 0; i < d.McList->count(); ++i) out << d.McList->item(i)->text();
        return out;
    }
};

TEST_F(MacroFormTest, RoundTripToTheIni)
{
    writeIni("[TermMacros]\nZed=5A\nalpha=41\n");
    openTerminal();
    editMacros([&](TMacroForm &d) {
        EXPECT_EQ(names(d), (QStringList {"alpha", "Zed"}));
        EXPECT_EQ(d.McList->currentRow(), 0);
        EXPECT_EQ(d.NameEdit->text(), "alpha");
        EXPECT_EQ(d.CmdEdit->text(), "A");
        EXPECT_EQ(d.StartCombo->currentIndex(), 2);
        EXPECT_EQ(d.StopCombo->currentIndex(), 3);
        ASSERT_EQ(d.ChrCombo->count(), 256);

        d.InsBtn->click();
        EXPECT_EQ(d.NameEdit->text(), "...");
        EXPECT_TRUE(d.CmdEdit->Bytes().empty());
        d.NameEdit->clear();
        typeText(d.NameEdit, "M=2");   // "=" would end the name in the INI: refused
        EXPECT_EQ(d.NameEdit->text(), "M2");
        typeText(d.CmdEdit, "X");
        pressKey(d.CmdEdit, Qt::Key_Return);   // a byte of the macro, not OK
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.CmdEdit->text(), "X<CR>");

        d.InsBtn->click();   // left as "...": dropped on OK
        d.InsBtn->click();
        d.NameEdit->setText("zeta");
        d.ChrCombo->setCurrentIndex(7);
        emit d.ChrCombo->activated(7);
        d.StartCombo->setCurrentIndex(0x10);
        d.grab().save(QString(CORVANE_ARTIFACT_DIR) + "/corvane-macro-editor.png");   // for a person to look at
        d.OkBtn->click();
    });

    EXPECT_TRUE(ui.warnings().empty());
    EXPECT_EQ(Settings.TermMacroList, (std::vector<std::string> {"alpha=A", "M2=X\r", "Zed=Z", "zeta=\a"}));
    EXPECT_EQ(Settings.SerialStart, 0x10);
    EXPECT_EQ(Settings.SerialStop, 3);
    const std::string ini = dir.read("CORVANE.INI");
    EXPECT_NE(ini.find("M2=580D"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SerialStart=16"), std::string::npos);
    EXPECT_EQ(ini.find("..."), std::string::npos);

    ASSERT_EQ(term->MacroCombo->count(), 4);
    EXPECT_EQ(term->MacroCombo->itemText(1), "M2=X<CR>");
    EXPECT_EQ(term->MacroMenu->actions()[1]->text(), "M2=X<CR>");
    for (int i = 0; i < 2; ++i) {
        term->MacroCombo->setCurrentIndex(1);
        emit term->MacroCombo->activated(1);
    }
    EXPECT_EQ(sim.receivedBytes(), "X\rX\r");
}

// A name that the INI would read back as a section header, a comment, another name or the key of another macro
// keeps the dialog open on that row with the reason; nothing is stored until it is mended.
TEST_F(MacroFormTest, OkRefusesNamesThatCannotBeStoredAsTheyAre)
{
    writeIni("[TermMacros]\nAlpha=41\nBeta=42\n");
    openTerminal();
    const std::string iniBefore = dir.read("CORVANE.INI");
    struct Case {
        const char *name, *warning;
    };
    const Case cases[] = {
        {"[Gamma]", "A macro name must not begin with \"[\" or \";\"."},
        {";Gamma", "A macro name must not begin with \"[\" or \";\"."},
        {" Gamma", "A macro name must not begin or end with a blank."},
        {"Gamma ", "A macro name must not begin or end with a blank."},
        {"Gam\tma", "A macro name must not hold \"=\" or control characters."},
        {"BETA", "Two macros are named \"BETA\": names must differ in more than case."},
        {"Beta", "Two macros are named \"Beta\": names must differ in more than case."},
    };
    for (const Case &c : cases) {
        ui.clear();
        editMacros([&](TMacroForm &d) {
            d.InsBtn->click();
            d.NameEdit->setText(c.name);
            typeText(d.CmdEdit, "G");
            d.McList->setCurrentRow(0);   // the faulty row need not be the current one
            d.OkBtn->click();
            EXPECT_TRUE(d.isVisible()) << c.name;
            EXPECT_EQ(d.McList->currentRow(), 2) << c.name;
            EXPECT_EQ(d.NameEdit->text(), c.name);
            EXPECT_EQ(Settings.TermMacroList.size(), 2u) << c.name;

            d.NameEdit->setText("Gamma");   // mended: stored
            d.OkBtn->click();
            EXPECT_FALSE(d.isVisible()) << c.name;
        });
        EXPECT_EQ(ui.warnings(), std::vector<std::string> {c.warning}) << c.name;
        EXPECT_EQ(Settings.TermMacroList, (std::vector<std::string> {"Alpha=A", "Beta=B", "Gamma=G"})) << c.name;
        Settings.TermMacroList = {"Alpha=A", "Beta=B"};
    }
    EXPECT_NE(dir.read("CORVANE.INI"), iniBefore);
    EXPECT_NE(dir.read("CORVANE.INI").find("Gamma=47"), std::string::npos);
}

// Names outside Windows-1252 show as "?"; two that read the same stay two macros, each on its own line of the INI,
// and an edit of each goes to its own line.
TEST_F(MacroFormTest, MacrosWhoseNamesReadTheSameStayApart)
{
    writeIni("[TermMacros]\nТест=42\nСкан=41\n");
    dir.write("CORVANE.INI", "\xEF\xBB\xBF" + dir.read("CORVANE.INI"));   // read as UTF-8
    ReadSettings();
    openTerminal();
    editMacros([&](TMacroForm &d) {
        EXPECT_EQ(names(d), (QStringList {"????", "????"}));
        for (int row : {0, 1}) {
            d.McList->setCurrentRow(row);
            typeText(d.CmdEdit, row == 0 ? "C" : "D");
        }
        d.OkBtn->click();
    });
    EXPECT_TRUE(ui.warnings().empty());
    EXPECT_NE(dir.read("CORVANE.INI").find("[TermMacros]\nТест=4243\nСкан=4144\n"), std::string::npos);
}

TEST_F(MacroFormTest, DefBringsBackTheLastOkAndCancelStoresNothing)
{
    writeIni("[TermMacros]\nA=41\nB=42\n");
    openTerminal();
    const std::string iniBefore = dir.read("CORVANE.INI");
    editMacros([&](TMacroForm &d) {
        d.NameEdit->setText("Renamed");
        d.InsBtn->click();
        d.NameEdit->setText("New");
        d.McList->setCurrentRow(1);   // B
        d.DelBtn->click();
        EXPECT_EQ(names(d), (QStringList {"Renamed", "New"}));
        EXPECT_EQ(d.McList->currentRow(), -1);
        EXPECT_TRUE(d.NameEdit->text().isEmpty());

        d.DefBtn->click();
        EXPECT_EQ(names(d), (QStringList {"A", "B"}));
        EXPECT_EQ(d.McList->currentRow(), -1);
        EXPECT_TRUE(d.NameEdit->text().isEmpty());
        EXPECT_TRUE(d.CmdEdit->text().isEmpty());

        d.McList->setCurrentRow(1);
        EXPECT_EQ(d.NameEdit->text(), "B");
        d.NameEdit->setText("C");
        d.CancelBtn->click();
    });
    EXPECT_EQ(Settings.TermMacroList, (std::vector<std::string> {"A=A", "B=B"}));
    EXPECT_EQ(dir.read("CORVANE.INI"), iniBefore);
}

TEST_F(MacroFormTest, AnEmptyListShowsEmptyFieldsAndNoSelection)
{
    openTerminal();
    editMacros([&](TMacroForm &d) {
        EXPECT_EQ(d.McList->count(), 0);
        EXPECT_EQ(d.McList->currentRow(), -1);
        EXPECT_TRUE(d.NameEdit->text().isEmpty());
        EXPECT_TRUE(d.CmdEdit->text().isEmpty());
        d.OkBtn->click();
    });
    EXPECT_TRUE(Settings.TermMacroList.empty());
    EXPECT_EQ(term->MacroCombo->count(), 0);
}
