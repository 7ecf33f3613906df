#include "AppFont.h"
#include "WindowTour.h"
#include "editor/EditForm.h"
#include "editor/TabRows.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionTitleBar>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>

#include <sstream>

namespace {

// Every text of a window that is drawn in less room than it needs, one line each.
class CutTexts {
public:
    explicit CutTexts(const std::string &window) : window_(window) {}

    void check(const QWidget &widget, const QString &text, const QFont &font, QSize room)
    {
        const QSize needs = QFontMetrics(font).size(Qt::TextShowMnemonic, text);
        if (needs.width() <= room.width() && needs.height() <= room.height()) return;
        note(widget, text, needs, room);
    }
    void note(const QWidget &widget, const QString &text, QSize needs, QSize room)
    {
        const QString name = widget.objectName().isEmpty() ? widget.metaObject()->className() : widget.objectName();
        out_ << window_ << ": " << name.toStdString() << " \"" << text.toStdString() << "\" needs " << needs.width()
             << "x" << needs.height() << ", has " << room.width() << "x" << room.height() << "\n";
    }
    std::string text() const { return out_.str(); }

private:
    std::string window_;
    std::ostringstream out_;
};

QSize ButtonRoom(const QAbstractButton &button, QStyle::SubElement contents)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    if (const auto *push = qobject_cast<const QPushButton *>(&button))
        if (push->isDefault() || push->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    return button.style()->subElementRect(contents, &option, &button).size();
}

void CheckLabel(CutTexts &cuts, const QLabel &label)
{
    if (label.text().isEmpty()) return;
    const QRect room = label.contentsRect().adjusted(label.margin(), label.margin(), -label.margin(), -label.margin());
    if (label.wordWrap()) {
        if (label.heightForWidth(label.width()) > label.height())
            cuts.note(label, label.text(), {label.width(), label.heightForWidth(label.width())}, label.size());
        return;
    }
    cuts.check(label, label.text(), label.font(), room.size());
}

void CheckButton(CutTexts &cuts, const QAbstractButton &button)
{
    if (button.text().isEmpty()) return;
    if (const auto *tool = qobject_cast<const QToolButton *>(&button)) {
        if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly) return;
        const QSize needs = tool->sizeHint();
        if (needs.width() > tool->width() || needs.height() > tool->height())
            cuts.note(button, button.text(), needs, button.size());
        return;
    }
    QSize room;
    if (qobject_cast<const QCheckBox *>(&button))
        room = ButtonRoom(button, QStyle::SE_CheckBoxContents);
    else if (qobject_cast<const QRadioButton *>(&button))
        room = ButtonRoom(button, QStyle::SE_RadioButtonContents);
    else
        room = ButtonRoom(button, QStyle::SE_PushButtonContents);
    if (!button.icon().isNull()) room.rwidth() -= button.iconSize().width() + 4;
    cuts.check(button, button.text(), button.font(), room);
}

void CheckGroupTitle(CutTexts &cuts, const QGroupBox &box)
{
    if (box.title().isEmpty()) return;
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = box.alignment();
    const QRect label = box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    cuts.check(box, box.title(), box.font(), label.intersected(box.rect()).size());
}

// Header sections show their whole text; rows are as high as a line of the cells' font.
void CheckTable(CutTexts &cuts, const QTableView &table)
{
    const QHeaderView &header = *table.horizontalHeader();
    if (header.isVisible()) {
        const int margin = header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
        for (int section = 0; section < header.count(); ++section) {
            if (header.isSectionHidden(section)) continue;
            const QString text = table.model()->headerData(section, Qt::Horizontal).toString();
            if (text.isEmpty()) continue;
            cuts.check(header, text, header.font(), {header.sectionSize(section) - 2 * margin, header.height()});
        }
    }
    // Cell texts have the cell less its grid line; the first cut one stands for its table.
    for (int row = 0; row < table.model()->rowCount(); ++row)
        for (int col = 0; col < table.model()->columnCount(); ++col) {
            const QString text = table.model()->index(row, col).data().toString();
            if (text.isEmpty() || table.isColumnHidden(col)) continue;
            const int needs = QFontMetrics(table.font()).horizontalAdvance(text);
            if (needs > table.columnWidth(col) - 2)
                return cuts.note(table, text, {needs, 0}, {table.columnWidth(col) - 2, 0});
        }
    const int line = QFontMetrics(table.font()).height();
    for (int row = 0; row < table.model()->rowCount(); ++row)
        if (table.rowHeight(row) < line) {
            cuts.note(table, QString("row %1").arg(row), {0, line}, {0, table.rowHeight(row)});
            return;
        }
}

void CheckTabs(CutTexts &cuts, const TTabRows &tabs)
{
    QFont bold = tabs.font();
    bold.setBold(true);
    for (int i = 0; i < tabs.count(); ++i) cuts.check(tabs, tabs.tabText(i), bold, tabs.tabRect(i).size());
}

// Edits are as high as a line of their text; drop-down lists show their whole current item.
void CheckLineEdit(CutTexts &cuts, const QLineEdit &edit)
{
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    const QRect room =
        edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit).marginsRemoved(edit.textMargins());
    cuts.check(edit, edit.text().isEmpty() ? "Xg" : edit.text(), edit.font(), {QWIDGETSIZE_MAX, room.height()});
}

void CheckComboBox(CutTexts &cuts, const QComboBox &combo)
{
    if (combo.isEditable()) return;   // its line edit is checked as such
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = false;
    const QRect room =
        combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo);
    cuts.check(combo, combo.currentText().isEmpty() ? "Xg" : combo.currentText(), combo.font(), room.size());
}

void CheckCaption(CutTexts &cuts, const QMdiSubWindow &child)
{
    QStyleOptionTitleBar option;
    option.initFrom(&child);
    option.text = child.windowTitle();
    option.titleBarFlags = child.windowFlags();
    option.subControls = QStyle::SC_All;
    option.rect.setHeight(child.style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, &child));
    const QRect label = child.style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, &child);
    QFont font = child.font();
    font.setBold(true);
    cuts.check(child, child.windowTitle(), font, label.size());
}

std::string CutTextsOf(QWidget &window, const std::string &name)
{
    CutTexts cuts(name);
    if (auto *child = qobject_cast<QMdiSubWindow *>(&window)) CheckCaption(cuts, *child);
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(&window) || (widget->isWindow() && widget != &window)) continue;
        if (auto *child = qobject_cast<QMdiSubWindow *>(widget)) CheckCaption(cuts, *child);
        if (auto *label = qobject_cast<QLabel *>(widget)) CheckLabel(cuts, *label);
        if (auto *button = qobject_cast<QAbstractButton *>(widget)) CheckButton(cuts, *button);
        if (auto *box = qobject_cast<QGroupBox *>(widget)) CheckGroupTitle(cuts, *box);
        if (auto *table = qobject_cast<QTableView *>(widget)) CheckTable(cuts, *table);
        if (auto *tabs = qobject_cast<TTabRows *>(widget)) CheckTabs(cuts, *tabs);
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) CheckLineEdit(cuts, *edit);
        if (auto *combo = qobject_cast<QComboBox *>(widget)) CheckComboBox(cuts, *combo);
    }
    return cuts.text();
}

class TextFit : public ::testing::TestWithParam<double> {};

} // namespace

TEST_P(TextFit, NoWindowCutsAText)
{
    const testsupport::AppFont font(GetParam());
    testsupport::WindowTour tour;
    ASSERT_TRUE(tour.connected());
    std::string cut;
    int windows = 0;
    tour.visit([&](const std::string &name, QWidget &window) {
        ++windows;
        // The caption of a template whose description fits the editor at the design font.
        if (EditForm) EditForm->setWindowTitle("Test reader M100 - Edit Configuration");
        cut += CutTextsOf(window, name);
    });
    EXPECT_EQ(windows, 21);
    EXPECT_EQ(cut, "");
}

INSTANTIATE_TEST_SUITE_P(Points, TextFit, ::testing::Values(8.0, 10.0, 11.0));
