#include "EditorFixture.h"
#include "TabChain.h"
#include "editor/OverflowCalculator.h"
#include "editor/SpinButton.h"
#include "platform/qt/Cp1252.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {

// An overflow entry whose values are times in microseconds (written with the ANSI micro sign, B5h).
const char *const kOverflowTemplate =
    "STR: Scanner,,Info\r\n"
    "PAG: Timing\r\n"
    "HDR: Limits\r\n"
    "ENT: ~Overflow,1B4F46=10 \xB5s,00\r\n"
    "VAL: 10 \xB5s,00\r\n"
    "VAL: 20 \xB5s,01\r\n"
    "VAL: 25 \xB5s,02\r\n"
    "VAL: 40 \xB5s,03\r\n"
    "VAL: 50 \xB5s,04\r\n"
    "VAL: 60\xB5s,05\r\n"
    "VAL: Off,06\r\n";

const QString kMicro = FromCp1252(" \xB5s");

struct Item {
    QString text;
    int index;
    bool operator==(const Item &) const = default;
};
std::ostream &operator<<(std::ostream &os, const Item &i) { return os << i.text.toStdString() << "(" << i.index << ")"; }

class OverflowTest : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        loadTemplate(kOverflowTemplate);
        Settings.OverflowList = {"SC-1=500,5,2,0,1,10", "SC-2=500, 5, 2, 50, 1, 10", "W=1000,1,1,0,1,2",
                                 "Slow=500,5,2,0,10,1"};
        OverMinCD = OverMaxCD = OverX = 0;
        OverScanner = -1;
    }

    // The calculator opened by the editor for row 1 of page 0 (the overflow entry below its header).
    std::unique_ptr<TOverForm> open()
    {
        auto form = std::make_unique<TOverForm>(nullptr);
        form->PageIndex = 0;
        form->EntryIndex = 1;
        form->show();
        return form;
    }
    static void chooseScanner(TOverForm &form, int index)
    {
        form.ScanCombo->setCurrentIndex(index);
        form.ScanComboChange();
    }
    static void enter(TOverForm &form, const char *minCD, const char *maxCD, const char *x)
    {
        form.MinCDEdit->setText(minCD);
        form.MaxCDEdit->setText(maxCD);
        form.XEdit->setText(x);
        form.Recalc();
    }
    static std::vector<Item> items(const TOverForm &form)
    {
        std::vector<Item> out;
        for (int i = 0; i < form.TDList->count(); ++i)
            out.push_back({form.TDList->item(i)->text(), form.TDList->item(i)->data(Qt::UserRole).toInt()});
        return out;
    }
    static Item us(const char *number, int index) { return {QString(number) + kMicro, index}; }
};

} // namespace

TEST_F(OverflowTest, ResultsAndValuesBetweenThemForEachScanner)
{
    struct Case {
        int scanner;
        const char *minCD, *maxCD, *x;
        const char *minTD, *maxTD;
        std::vector<Item> listed;
    };
    const Case cases[] = {
        {0, "100", "500", "0.5", "25.0", "50.0", {us("25", 2), us("40", 3), us("50", 4)}},   // bounds included
        {1, "100", "500", "0.5", "16.7", "45.5", {us("20", 1), us("25", 2), us("40", 3)}},
        {2, "1000", "1000", "20", "20.0", "40.0", {us("20", 1), us("25", 2), us("40", 3)}},
        {3, "100", "500", "0.5", "250.0", "5.0", {}},   // the minimum above the maximum lists nothing
    };
    auto form = open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.scanner);
        chooseScanner(*form, c.scanner);
        enter(*form, c.minCD, c.maxCD, c.x);
        EXPECT_EQ(form->MinTDEdit->text(), c.minTD + kMicro);
        EXPECT_EQ(form->MaxTDEdit->text(), c.maxTD + kMicro);
        EXPECT_EQ(items(*form), c.listed);
        EXPECT_FALSE(form->OkBtn->isEnabled());
    }
    EXPECT_EQ(form->NSEdit->text(), "500");
    EXPECT_EQ(form->NMEdit->text(), "5");
}

TEST_F(OverflowTest, InvalidInputKeepsTheListAndItsSelection)
{
    auto form = open();
    EXPECT_EQ(form->MinTDEdit->text(), "?");   // no scanner chosen
    EXPECT_TRUE(form->NSEdit->text().isEmpty());
    EXPECT_FALSE(form->OkBtn->isEnabled());
    chooseScanner(*form, 0);
    enter(*form, "100", "500", "0.5");
    form->TDList->setCurrentRow(1);
    EXPECT_TRUE(form->OkBtn->isEnabled());
    EXPECT_EQ(form->SelectedValueIndex(), 3);
    form->NMEdit->clear();
    form->Recalc();
    EXPECT_EQ(form->MinTDEdit->text(), "?");
    EXPECT_EQ(form->MaxTDEdit->text(), "?");
    EXPECT_EQ(items(*form).size(), 3u);
    EXPECT_TRUE(form->OkBtn->isEnabled());
    EXPECT_EQ(form->SelectedValueIndex(), 3);
}

TEST_F(OverflowTest, MaximumBelowTheMinimumBecomesTheMinimum)
{
    auto form = open();
    enter(*form, "100", "50", "");
    EXPECT_EQ(form->MaxCDEdit->text(), "100");
    enter(*form, "100.5", "50", "");
    EXPECT_EQ(form->MaxCDEdit->text(), "100.50");
}

TEST_F(OverflowTest, InchModeConvertsWithItsOwnFactorAndWritesTheIni)
{
    Settings.Inches = true;
    OverMinCD = 100;
    auto form = open();
    EXPECT_NE(ini().find("Inches=1"), std::string::npos);   // opening in inch mode writes the INI
    EXPECT_TRUE(form->INBtn->isChecked());
    EXPECT_TRUE(form->MinCDEdit->text().isEmpty());
    EXPECT_EQ(form->ModUM->text(), "mils");
    EXPECT_EQ(form->MinUM->text(), "in");
    chooseScanner(*form, 0);
    enter(*form, "2", "10", "5");
    EXPECT_NEAR(OverX, 0.12705, 1e-12);
    EXPECT_NEAR(OverMinCD, 50.82, 1e-12);
    EXPECT_NEAR(OverMaxCD, 254.1, 1e-12);
    EXPECT_EQ(form->MinTDEdit->text(), "12.5" + kMicro);
    EXPECT_EQ(form->MaxTDEdit->text(), "25.0" + kMicro);
    EXPECT_EQ(items(*form), (std::vector<Item> {us("20", 1)}));   // 25.0 shown, but just below 25

    form->MMBtn->click();
    EXPECT_FALSE(Settings.Inches);
    EXPECT_NE(ini().find("Inches=0"), std::string::npos);
    EXPECT_EQ(form->ModUM->text(), "mm");
    EXPECT_TRUE(form->XEdit->text().isEmpty());
    EXPECT_EQ(form->MinTDEdit->text(), "?");
}

TEST_F(OverflowTest, MillimetreModeReopensWithThePreviousValuesAndTheReadersScanner)
{
    {
        auto form = open();
        chooseScanner(*form, 0);
        enter(*form, "100", "250.5", "0.5");
    }
    EXPECT_EQ(OverScanner, 0);
    Settings.ModelName = "sc-2";
    auto form = open();
    EXPECT_EQ(form->MinCDEdit->text(), "100");
    EXPECT_EQ(form->MaxCDEdit->text(), "251");
    EXPECT_EQ(form->XEdit->text(), "0.5");
    EXPECT_EQ(form->ScanCombo->currentText(), "SC-2");
    EXPECT_EQ(OverScanner, 1);
    EXPECT_EQ(form->MinTDEdit->text(), "16.7" + kMicro);
    // Showing the window listed the values of the editor's entry: 16.7 to 83.1 microseconds.
    EXPECT_EQ(items(*form), (std::vector<Item> {us("20", 1), us("25", 2), us("40", 3), us("50", 4), us("60", 5)}));
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(OverflowTest, SpinsSnapToTheirStepGrid)
{
    enum Spin { Width, MinDistance };
    struct Case {
        bool inches;
        Spin spin;
        const char *start;
        bool up;
        const char *shown;
    };
    const Case cases[] = {
        {false, Width, "0", true, "0.1"},    {false, Width, "0.1", true, "0.2"},  {false, Width, "0.25", false, "0.2"},
        {false, Width, "0.25", true, "0.3"}, {false, Width, "0.1", false, "0"},   {false, Width, "", false, ""},
        {false, Width, "0.3", true, "0.4"},  {false, Width, "0.000001", false, "0"}, {true, Width, "0", true, "5"},       {true, Width, "5", true, "8"},
        {true, Width, "8", true, "12"},      {true, Width, "8", false, "5"},      {true, Width, "5", false, "5"},
        {false, MinDistance, "30", true, "50"}, {false, MinDistance, "30", false, "25"},
        {false, MinDistance, "25", false, "0"}, {false, MinDistance, "0", false, "0"},
        {true, MinDistance, "2.5", true, "3"},  {true, MinDistance, "2.5", false, "2"},
    };
    auto form = open();
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.start) + (c.up ? " up" : " down") + (c.inches ? " in" : " mm"));
        (c.inches ? form->INBtn : form->MMBtn)->setChecked(true);
        QLineEdit *edit = c.spin == Width ? form->XEdit : form->MinCDEdit;
        TSpinButton *spin = c.spin == Width ? form->XSpin : form->MinCDSpin;
        edit->setText(c.start);
        (c.up ? spin->UpButton : spin->DownButton)->click();
        EXPECT_EQ(edit->text(), c.shown);
    }
}

TEST_F(OverflowTest, NumberEditsTakeDigitsAndOnePointOnly)
{
    auto form = open();
    chooseScanner(*form, 0);
    form->MinCDEdit->clear();
    QTest::keyClicks(form->MinCDEdit, "1a0,0-");
    EXPECT_EQ(form->MinCDEdit->text(), "10.0");
    form->MaxCDEdit->setText("500");
    form->XEdit->setText("0.5");
    QTest::keyClick(form->XEdit, Qt::Key_Backspace);
    QTest::keyClick(form->XEdit, Qt::Key_Return);   // recalculates at once
    EXPECT_EQ(form->XEdit->text(), "0.");
    EXPECT_EQ(form->MinTDEdit->text(), "?");
    QTest::keyClicks(form->XEdit, "5");
    QTest::keyClick(form->XEdit, Qt::Key_Enter);
    EXPECT_EQ(form->MinTDEdit->text(), "250.0" + kMicro);
}

TEST_F(OverflowTest, RowThatIsNoEntryOfThePageListsNothing)
{
    for (int32_t row : {-1, 7}) {
        TOverForm form(nullptr);
        form.PageIndex = 0;
        form.EntryIndex = row;
        form.show();
        chooseScanner(form, 0);
        enter(form, "100", "500", "0.5");
        EXPECT_EQ(form.MinTDEdit->text(), "25.0" + kMicro);
        EXPECT_EQ(form.TDList->count(), 0);
    }
    Template = nullptr;
    TOverForm form(nullptr);
    form.show();
    chooseScanner(form, 0);
    enter(form, "100", "500", "0.5");
    EXPECT_EQ(form.TDList->count(), 0);
}

// Tab goes from control to control: the spin buttons are no stops, the unit buttons are one, at the checked
// unit; in an edit the Up and Down keys step as its spin buttons do.
TEST_F(OverflowTest, TabSkipsTheSpinsAndArrowsInTheEditsStep)
{
    auto form = open();
    for (QRadioButton *unit : {form->INBtn, form->MMBtn}) {
        unit->setChecked(true);
        const std::vector<QWidget *> chain = testsupport::TabChain(form->ScanCombo);
        for (QWidget *w : chain) EXPECT_EQ(qobject_cast<QToolButton *>(w), nullptr);
        EXPECT_EQ(std::count(chain.begin(), chain.end(), unit), 1);
        EXPECT_EQ(std::count(chain.begin(), chain.end(), unit == form->MMBtn ? form->INBtn : form->MMBtn), 0);
        for (QWidget *w : {static_cast<QWidget *>(form->NSEdit), static_cast<QWidget *>(form->NMEdit),
                           static_cast<QWidget *>(form->MinCDEdit), static_cast<QWidget *>(form->MaxCDEdit),
                           static_cast<QWidget *>(form->XEdit), static_cast<QWidget *>(form->TDList),
                           static_cast<QWidget *>(form->CancelBtn)})
            EXPECT_EQ(std::count(chain.begin(), chain.end(), w), 1);
    }
    struct Case {
        QLineEdit *edit;
        const char *start;
        Qt::Key key;
        const char *shown;
    };
    for (const Case &c : {Case {form->XEdit, "0.1", Qt::Key_Up, "0.2"}, Case {form->MinCDEdit, "30", Qt::Key_Down, "25"},
                          Case {form->MaxCDEdit, "30", Qt::Key_Up, "50"}}) {
        c.edit->setText(c.start);
        c.edit->setFocus();
        QTest::keyClick(c.edit, c.key);
        EXPECT_EQ(c.edit->text(), c.shown) << c.start;
    }
}
