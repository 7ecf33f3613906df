#include "EditorFixture.h"
#include "ModalDriver.h"
#include "TabChain.h"
#include "common/ByteDisplay.h"
#include "editor/StringDialog.h"
#include "editor/Value16Dialog.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

using testsupport::OnModal;

namespace {

// A 16-bit pair, a text of three characters, two adjacent texts, and pairs without their other half.
const char *const kValuesTemplate =
    "STR: Test reader,,Info\r\n"
    "PAG: Numbers\r\n"
    "ENT: HeightMSB,1B4400=$00,00\r\n"
    "HEX: 00..FF\r\n"
    "ENT: WidthLSB,1B4301=$E8,E8\r\n"
    "HEX: 00..FF\r\n"
    "ENT: WidthMSB,1B4302=$03,03\r\n"
    "HEX: 00..FF\r\n"
    "ENT: DepthLSB,1B4303=$00,00\r\n"
    "HEX: 00..FF\r\n"
    "PAG: Texts\r\n"
    "ENT: Prefix[1],1B4201=A,41\r\n"
    "CHR: 00..FF\r\n"
    "ENT: Prefix[2],1B4202=CR,0D\r\n"
    "CHR: 00..FF\r\n"
    "ENT: Prefix[3],1B4203=B,42\r\n"
    "CHR: 00..FF\r\n"
    "ENT: Beep,1B4101=On,01\r\n"
    "VAL: Off,00\r\n"
    "VAL: On,01\r\n"
    "ENT: Suffix[1],1B4211=X,58\r\n"
    "CHR: 20..7E\r\n"
    "VAL: Disabled,7F\r\n"
    "ENT: Suffix[2],1B4212=Y,59\r\n"
    "CHR: 20..7E\r\n"
    "ENT: Code[1],1B4221=P,50\r\n"
    "CHR: 20..7E\r\n"
    "ENT: Code[2],1B4222=Q,51\r\n"
    "CHR: 20..7E\r\n";

// Entries of the page of texts.
enum { Prefix1, Prefix2, Prefix3, Beep, Suffix1, Suffix2, Code1, Code2 };

struct Byte {
    uint8_t value;
    std::string text;
};

class ValueDialogsTest : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        loadTemplate(kValuesTemplate);
    }
    Byte byteOf(int page, const std::string &name) { return {entry(page, name).Value, entry(page, name).ValueText}; }
    Byte byteAt(int page, int index) { return {entryAt(page, index).Value, entryAt(page, index).ValueText}; }

    // Types into the dialog's decimal field as a user would: select all, then the new text.
    static void typeDecimal(TXSBForm &form, const QString &text)
    {
        QLineEdit *edit = form.ValEdit->findChild<QLineEdit *>();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClicks(edit, text);
    }
    static void clickCell(TStrForm &form, int column)
    {
        QTest::mouseClick(form.Grid->viewport(), Qt::LeftButton, {},
                          form.Grid->visualItemRect(form.Grid->item(0, column)).center());
    }
    static QString cellText(const TStrForm &form, int column) { return form.Grid->item(0, column)->text(); }
    static QColor cellColour(const TStrForm &form, int column)
    {
        return form.Grid->item(0, column)->foreground().color();
    }
};

bool operator==(const Byte &a, const Byte &b) { return a.value == b.value && a.text == b.text; }
std::ostream &operator<<(std::ostream &os, const Byte &b) { return os << int(b.value) << " " << b.text; }

} // namespace

TEST_F(ValueDialogsTest, DecimalFieldShowsItsLowAndHighByte)
{
    TXSBForm form(nullptr);
    form.show();
    typeDecimal(form, "4660");
    EXPECT_EQ(form.GetValue(), 4660);
    EXPECT_EQ(form.LSBEdit->text(), "$34");
    EXPECT_EQ(form.MSBEdit->text(), "$12");
    EXPECT_FALSE(form.LSBEdit->isEnabled());
    typeDecimal(form, "");
    EXPECT_EQ(form.GetValue(), 0);
    EXPECT_EQ(form.LSBEdit->text(), "$00");
    EXPECT_EQ(form.MSBEdit->text(), "$00");
}

TEST_F(ValueDialogsTest, PairDialogWritesBothHalvesFromEitherRow)
{
    struct Case {
        const char *openedFrom;
        QString typed;   // nothing typed for Cancel
        bool ok;
        Byte lsb, msb;
    };
    const Case cases[] = {
        {"WidthMSB", "65535", true, {255, "$FF"}, {255, "$FF"}},
        {"WidthLSB", "", true, {0, "$00"}, {0, "$00"}},
        {"WidthLSB", "4660", true, {0x34, "$34"}, {0x12, "$12"}},
        {"WidthMSB", "1", false, {0x34, "$34"}, {0x12, "$12"}},   // Cancel keeps the previous case's values
    };
    bool first = true;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QString caption;
        int shown = -1;
        OnModal<TXSBForm> user([&](TXSBForm &form) {
            caption = form.windowTitle();
            shown = form.GetValue();
            typeDecimal(form, c.typed);
            (c.ok ? form.OKBtn : form.CancelBtn)->click();
        });
        EXPECT_EQ(EditLsbMsb(nullptr, entry(0, c.openedFrom)), c.ok);
        EXPECT_TRUE(user.ran());
        EXPECT_EQ(caption, "Width");
        if (first) {
            EXPECT_EQ(shown, 1000);   // LSB E8h and MSB 03h
        }
        first = false;
        EXPECT_EQ(byteOf(0, "WidthLSB"), c.lsb);
        EXPECT_EQ(byteOf(0, "WidthMSB"), c.msb);
    }
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(ValueDialogsTest, PairWithoutItsOtherHalfOpensNoDialog)
{
    OnModal<TXSBForm> user([](TXSBForm &form) { form.reject(); }, 300);
    EXPECT_FALSE(EditLsbMsb(nullptr, entry(0, "DepthLSB")));   // last entry of its page
    EXPECT_FALSE(EditLsbMsb(nullptr, entry(0, "HeightMSB")));  // first entry of its page
    EXPECT_EQ(ui.warnings(), (std::vector<std::string> {"MSB not found", "LSB not found"}));
    EXPECT_FALSE(user.ran());
}

TEST_F(ValueDialogsTest, StringDialogShowsTheRunWithTheOpenedColumnMarked)
{
    OnModal<TStrForm> user([&](TStrForm &form) {
        EXPECT_EQ(form.windowTitle(), "Prefix");
        ASSERT_EQ(form.Grid->columnCount(), 3);
        EXPECT_EQ(form.GetText(), "A\rB");
        EXPECT_EQ(cellText(form, 0), "A");
        EXPECT_EQ(cellText(form, 1), "CR");
        EXPECT_EQ(cellColour(form, 1), QColor(Qt::blue));
        EXPECT_EQ(cellText(form, 2), "B");
        EXPECT_EQ(form.Grid->horizontalHeaderItem(1)->text(), "2");
        // The column of the row the dialog came from: red number, light yellow cell.
        EXPECT_EQ(form.Grid->horizontalHeaderItem(1)->foreground().color(), QColor(Qt::red));
        EXPECT_EQ(form.Grid->item(0, 1)->background().color(), QColor(255, 255, 224));
        EXPECT_NE(form.Grid->item(0, 0)->background().color(), QColor(255, 255, 224));
        EXPECT_FALSE(form.Grid->horizontalHeaderItem(0)->data(Qt::ForegroundRole).isValid());
        // The template names byte 127 only as "7F": the menu offers DEL.
        EXPECT_TRUE(form.DelName.empty());
        EXPECT_EQ(form.CharMenu->actions().last()->text(), "DEL");
        form.reject();
    });
    EXPECT_FALSE(EditString(nullptr, entryAt(1, Prefix2)));
    EXPECT_TRUE(user.ran());
    EXPECT_EQ(byteAt(1, Prefix2), (Byte {0x0D, "CR"}));
}

TEST_F(ValueDialogsTest, TypedKeysEnterCharactersAndMoveOn)
{
    OnModal<TStrForm> user([&](TStrForm &form) {
        clickCell(form, 0);
        QTest::keyClick(form.Grid, Qt::Key_M, Qt::ControlModifier);   // CR, on to column 2
        EXPECT_EQ(form.Grid->currentColumn(), 1);
        QTest::keyClick(form.Grid, Qt::Key_Delete);                   // 127, on to column 3
        EXPECT_EQ(cellText(form, 1), "DEL");
        EXPECT_EQ(cellColour(form, 1), QColor(Qt::blue));
        EXPECT_EQ(form.Grid->currentColumn(), 2);
        QTest::keyClick(form.Grid, Qt::Key_X, Qt::AltModifier);       // dropped
        EXPECT_EQ(cellText(form, 2), "B");
        QTest::keyClicks(form.Grid, " ");                              // last column: stays there
        EXPECT_EQ(cellText(form, 2), "Space");
        EXPECT_EQ(form.Grid->currentColumn(), 2);
        QTest::keyClick(form.Grid, Qt::Key_Return);                   // the dialog's OK
    });
    EXPECT_TRUE(EditString(nullptr, entryAt(1, Prefix1)));
    EXPECT_TRUE(user.ran());
    EXPECT_EQ(byteAt(1, Prefix1), (Byte {13, "CR"}));
    EXPECT_EQ(byteAt(1, Prefix2), (Byte {127, "7F"}));   // from the template's value lines
    EXPECT_EQ(byteAt(1, Prefix3), (Byte {32, "Space"}));
}

TEST_F(ValueDialogsTest, CharacterMenuAndHighBytesWriteBackTheirTexts)
{
    OnModal<TStrForm> user([&](TStrForm &form) {
        QList<QAction *> items;
        for (QAction *a : form.CharMenu->actions())
            if (!a->isSeparator()) items << a;
        ASSERT_EQ(items.size(), 33);
        EXPECT_EQ(items[0]->text(), "NUL");
        EXPECT_EQ(items[31]->text(), "US");
        EXPECT_EQ(form.CharMenu->actions().size(), 36);   // a bar before 8, 16 and 24
        clickCell(form, 0);
        items[27]->trigger();   // ESC into the current column, which stays
        EXPECT_EQ(cellText(form, 0), "ESC");
        EXPECT_EQ(form.Grid->currentColumn(), 0);
        clickCell(form, 2);
        QTest::keyClicks(form.Grid, QString(QChar(0xC8)));
        EXPECT_EQ(cellText(form, 2), "C8");
        EXPECT_EQ(cellColour(form, 2), QColor(255, 0, 255));
        form.OKBtn->click();
    });
    EXPECT_TRUE(EditString(nullptr, entryAt(1, Prefix3)));
    EXPECT_EQ(byteAt(1, Prefix1), (Byte {27, "ESC"}));
    EXPECT_EQ(byteAt(1, Prefix2), (Byte {13, "CR"}));
    EXPECT_EQ(byteAt(1, Prefix3), (Byte {200, "C8"}));
}

TEST_F(ValueDialogsTest, RunStartsWhereItsIndexRisesAndGoesOnOverAdjacentRuns)
{
    std::string fromSuffix, fromCode;
    OnModal<TStrForm> suffix([&](TStrForm &form) {
        fromSuffix = form.GetText();
        EXPECT_EQ(form.Grid->horizontalHeaderItem(0)->foreground().color(), QColor(Qt::red));
        EXPECT_EQ(form.DelName, "Disabled");   // the opened entry's own name for byte 127
        EXPECT_EQ(form.CharMenu->actions().last()->text(), "Disabled");
        clickCell(form, 0);
        QTest::keyClick(form.Grid, Qt::Key_Delete);
        EXPECT_EQ(cellText(form, 0), "DIS");
        EXPECT_EQ(cellColour(form, 0), QColor(192, 192, 192));
        form.OKBtn->click();
    });
    EXPECT_TRUE(EditString(nullptr, entryAt(1, Suffix1)));
    EXPECT_EQ(fromSuffix, "XYPQ");
    EXPECT_EQ(byteAt(1, Suffix1), (Byte {127, "Disabled"}));

    OnModal<TStrForm> code([&](TStrForm &form) {
        fromCode = form.GetText();
        EXPECT_EQ(form.Grid->horizontalHeaderItem(1)->foreground().color(), QColor(Qt::red));
        form.reject();
    });
    EditString(nullptr, entryAt(1, Code2));
    EXPECT_EQ(fromCode, "PQ");
}

TEST_F(ValueDialogsTest, DeleteStoresByte127AlsoWhereTheTemplateHasNoValueForIt)
{
    OnModal<TStrForm> user([&](TStrForm &form) {
        EXPECT_EQ(form.DelName, "");
        clickCell(form, 1);
        QTest::keyClick(form.Grid, Qt::Key_Delete);
        form.OKBtn->click();
    });
    EXPECT_TRUE(EditString(nullptr, entryAt(1, Code2)));
    ASSERT_TRUE(user.ran());
    EXPECT_EQ(byteAt(1, Code2), (Byte {127, "Value not found"}));   // what is sent and saved is what the grid says
    EXPECT_EQ(byteAt(1, Code1), (Byte {'P', "P"}));
}

TEST_F(ValueDialogsTest, EntryThatIsNoTextCharacterIsRefused)
{
    EXPECT_FALSE(EditString(nullptr, entryAt(1, Beep)));
    EXPECT_EQ(ui.warnings(), (std::vector<std::string> {"Not a valid string!"}));
}

TEST_F(ValueDialogsTest, LongRunIsEditedInItsFirstThirtyEntries)
{
    std::string text = "STR: Long,,x\r\nPAG: P\r\n";
    for (int i = 1; i <= 32; ++i) text += "ENT: Name[" + std::to_string(i) + "],1B50" + BytesToHex(std::string(1, char(i))) + "=A,41\r\nCHR: 00..FF\r\n";
    loadTemplate(text);
    std::string shown;
    bool anyMarked = false;
    OnModal<TStrForm> user([&](TStrForm &form) {
        shown = form.GetText();
        for (int i = 0; i < form.Grid->columnCount(); ++i)
            anyMarked = anyMarked || form.Grid->horizontalHeaderItem(i)->data(Qt::ForegroundRole).isValid();
        clickCell(form, 29);
        QTest::keyClicks(form.Grid, "Z");
        form.OKBtn->click();
    });
    EXPECT_TRUE(EditString(nullptr, entry(0, "Name")));   // the 32nd entry: beyond the edited part
    EXPECT_EQ(shown, std::string(30, 'A'));
    EXPECT_FALSE(anyMarked);
    EXPECT_EQ(tpl->Pages(0).Entries(29).ValueText.str(), "Z");
    EXPECT_EQ(tpl->Pages(0).Entries(30).ValueText.str(), "A");
}

TEST_F(ValueDialogsTest, CharacterMenuStandsInFourColumnsOfEightAndEveryNameShowsInFull)
{
    OnModal<TStrForm> user([&](TStrForm &form) {
        const QFontMetrics cellFont(form.Grid->font());
        for (std::string_view name : ControlCharNames)
            EXPECT_GT(form.Grid->columnWidth(0), cellFont.horizontalAdvance(QString::fromLatin1(name.data(), int(name.size()))))
                << name;

        clickCell(form, 1);
        form.CharMenu->popup(form.Grid->mapToGlobal(QPoint(5, 5)));
        QList<int> items;   // indexes of the menu's items, without its bars
        const QList<QAction *> actions = form.CharMenu->actions();
        for (int i = 0; i < actions.size(); ++i)
            if (!actions[i]->isSeparator()) items << i;
        ASSERT_EQ(items.size(), 33);
        const auto at = [&](int item) { return form.CharMenu->itemRect(items[item]); };
        for (int code = 0; code < 32; ++code) {
            const int column = code / 8, row = code % 8;
            EXPECT_EQ(at(code).left(), at(column * 8).left()) << code;
            EXPECT_EQ(at(code).top(), at(row).top()) << code;
            if (column > 0) {
                EXPECT_GT(at(code).left(), at(code - 8).right()) << code;
            }
            EXPECT_TRUE(form.CharMenu->rect().contains(at(code))) << code;
        }
        EXPECT_EQ(at(32).left(), at(24).left());    // DEL ends the fourth column
        EXPECT_GT(at(32).top(), at(31).bottom());
        EXPECT_LE(form.CharMenu->height(), 10 * at(0).height());

        QTest::mouseClick(form.CharMenu, Qt::LeftButton, {}, at(9).center());   // HT, second column
        EXPECT_FALSE(form.CharMenu->isVisible());
        EXPECT_EQ(cellText(form, 1), "HT");
        form.CharMenu->popup(form.Grid->mapToGlobal(QPoint(5, 5)));
        // The first Down takes NUL, two more STX; Right goes to the same row of the next column.
        for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Return})
            QTest::keyClick(form.CharMenu, Qt::Key(key));
        EXPECT_EQ(cellText(form, 1), "LF");
        form.reject();
    });
    EditString(nullptr, entryAt(1, Prefix1));
    EXPECT_TRUE(user.ran());
}

TEST_F(ValueDialogsTest, TabLeavesTheStringGridForOkAndCancel)
{
    OnModal<TStrForm> user([&](TStrForm &form) {
        clickCell(form, 0);
        EXPECT_EQ(testsupport::TabChain(form.Grid),
                  (std::vector<QWidget *> {form.Grid, form.OKBtn, form.CancelBtn}));
        EXPECT_EQ(form.Grid->currentColumn(), 0);
        EXPECT_EQ(testsupport::TabChain(form.Grid, Qt::Key_Backtab),
                  (std::vector<QWidget *> {form.Grid, form.CancelBtn, form.OKBtn}));
        form.reject();
    });
    EXPECT_FALSE(EditString(nullptr, entryAt(1, Prefix2)));
    EXPECT_TRUE(user.ran());
}
