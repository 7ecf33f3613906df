#pragma once
// The Edit configuration window over a template of four pages, on a reader link with the simulator on a pty.

#include "editor/EditForm.h"
#include "editor/GridCombo.h"
#include "editor/OverflowCalculator.h"
#include "link/LinkFixture.h"
#include "model/HtmlHelp.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>

// General: a header first, an entry shown only while Beep is On, a second group with an overflow entry.
// Codes: a parameter first, a text character hidden until Mode is Slow, a text spread over two entries, and a
// 16-bit pair. Hidden: nothing shown. Safety: an entry with its own question that a hidden group depends on.
inline const char *const kEditTemplate =
    "STR: Test reader M100,M100.HLP,Info text\r\n"
    "PAG: General #10\r\n"
    "HDR: Beeper #0\r\n"
    "ENT: Beep,1B4142=On,01 #11\r\n"
    "VAL: Off,00\r\n"
    "VAL: On,01\r\n"
    "ENT: Volume,1B4143=Low,00 @Beep=On\r\n"
    "VAL: Low,00\r\n"
    "VAL: High,01 ?Really loud\r\n"
    "HDR: Timing\r\n"
    "ENT: Delay,1B4144=$10,10\r\n"
    "HEX: 00..1F\r\n"
    "ENT: ~Range,1B4145=$12,12\r\n"
    "HEX: 10..1F\r\n"
    "PAG: Codes\r\n"
    "ENT: Mode,1B4D44=Fast,00\r\n"
    "VAL: Fast,00\r\n"
    "VAL: Slow,01\r\n"
    "ENT: Suffix[1],1B5331=Z,5A @Mode=Slow\r\n"
    "CHR: 20..7E\r\n"
    "ENT: Prefix[1],1B5031=A,41\r\n"
    "CHR: 20..7E\r\n"
    "ENT: Prefix[2],1B5032=B,42\r\n"
    "CHR: 20..7E\r\n"
    "ENT: WidthLSB,1B574C=$E8,E8\r\n"
    "HEX: 00..FF\r\n"
    "ENT: WidthMSB,1B574D=$03,03\r\n"
    "HEX: 00..FF\r\n"
    "PAG: Hidden\r\n"
    "HDR: Ghosts\r\n"
    "ENT: Ghost,1B4748=x,00 @Nobody=x\r\n"
    "VAL: x,00\r\n"
    "PAG: Safety\r\n"
    "ENT: Reset,1B5253=No,00 ?Reset all settings\r\n"
    "VAL: No,00\r\n"
    "VAL: Yes,01\r\n"
    "HDR: Extra\r\n"
    "ENT: Turbo,1B5442=Off,00 @Reset=Yes\r\n"
    "VAL: Off,00\r\n"
    "VAL: On,01\r\n";

enum EditPage { General, Codes, Hidden, Safety };

// A scanner for the overflow calculator, and the geometry that gives it the range 25 to 50 µs, entered as a user
// would.
inline const char *const kOverflowScanner = "SC-1=500,5,2,0,1,10";
inline void enterOverflowGeometry(TOverForm &calc)
{
    calc.ScanCombo->setCurrentIndex(0);
    calc.ScanComboChange();
    calc.MinCDEdit->setText("100");
    calc.MaxCDEdit->setText("500");
    calc.XEdit->setText("0.5");
    calc.Recalc();
}

// Key presses and mouse clicks delivered the way the window system delivers them.
inline void pressKey(QObject *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

inline void clickAt(QWidget *target, QPoint pos)
{
    const QPointF local(pos), global(target->mapToGlobal(pos));
    QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

class EditFixture : public LinkFixture {
protected:
    void SetUp() override
    {
        LinkFixture::SetUp();
        AppHelpFile.clear();
        dir.write("dev/M100.TPL", kEditTemplate);
        sim.setFactory({testsupport::readerRecord("AB", 0), testsupport::readerRecord("AC", 1),
                        testsupport::readerRecord("AD", 0x05), testsupport::readerRecord("AE", 0x1F),
                        testsupport::readerRecord("MD", 1), testsupport::readerRecord("S1", '!'),
                        testsupport::readerRecord("P1", 'x'), testsupport::readerRecord("P2", 'y'),
                        testsupport::readerRecord("WL", 0x34), testsupport::readerRecord("WM", 0x12),
                        testsupport::readerRecord("RS", 0), testsupport::readerRecord("TB", 1)});
    }

    void TearDown() override
    {
        delete form.data();
        LinkFixture::TearDown();
    }

    // The link up, the template loaded with its defaults, the window open and filled.
    void openEditor()
    {
        startLink();
        Settings.DevPath = dir.file("dev") + "/";
        ASSERT_TRUE(tpl.LoadFromFile("M100.TPL"));
        form = new TEditForm;
        form->show();
        form->RefreshAll();
    }

    void showPage(EditPage page) { form->TabSet->setCurrentIndex(page); }

    // The texts of one column of the grid, row by row.
    std::vector<std::string> column(int col) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < form->Grid->RowCount(); ++row) texts.push_back(form->Cell(col, row).Text);
        return texts;
    }

    QStringList comboItems() const
    {
        QStringList items;
        for (int i = 0; i < form->Combo->count(); ++i) items << form->Combo->itemText(i);
        return items;
    }

    TTplEnt &entry(const std::string &name)
    {
        for (int32_t p = 0; p < tpl.PageCount(); ++p)
            if (TTplEnt *e = tpl.Pages(p).FindEntry(name)) return *e;
        throw std::runtime_error("no entry " + name);
    }

    // Chooses the item of the open list with the mouse.
    void clickListItem(int index)
    {
        QAbstractItemView *list = form->Combo->view();
        PumpFor(std::chrono::milliseconds(QApplication::doubleClickInterval() + 100));
        clickAt(list->viewport(), list->visualRect(list->model()->index(index, 0)).center());
    }

    QPointer<TEditForm> form;
};
