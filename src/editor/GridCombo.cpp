#include "GridCombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QStylePainter>

#include <algorithm>
#include <utility>

TGridCombo::TGridCombo(QAbstractItemView *grid, const bool &sending, QWidget *parent)
    : QComboBox(parent), grid_(grid), sending_(sending)
{
    setFrame(false);
    hide();
    // The base class reports the user's choices (list, keys, wheel) as activated, right after the change they make;
    // choosing the item already selected is none.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) { changedTo_ = index; });
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (std::exchange(changedTo_, -1) == index) emit Click();
    });
    // The list's keys are browsed here; its window hides whichever way the list closes.
    view()->installEventFilter(this);
    view()->window()->installEventFilter(this);
}

void TGridCombo::showPopup()
{
    if (sending_) return QApplication::beep();
    ListOpen = true;
    PendingChanges = 0;
    changedTo_ = -1;   // a selection the program set before is not chosen in the list
    QComboBox::showPopup();
}

void TGridCombo::CloseUp()
{
    if (!ListOpen) return;
    ListOpen = false;
    const bool changed = PendingChanges > 0;
    PendingChanges = 0;
    if (changed) emit ClosedWithChanges();
}

void TGridCombo::PostToGrid(const QKeyEvent &event)
{
    QCoreApplication::postEvent(grid_, new QKeyEvent(QEvent::KeyPress, event.key(), event.modifiers()));
}

void TGridCombo::StepSelection(int delta)
{
    if (sending_) return QApplication::beep();
    const int target = currentIndex() + delta;
    if (target >= 0 && target < count()) Choose(target);
}

void TGridCombo::Choose(int index)
{
    if (index == currentIndex()) return;
    setCurrentIndex(index);
    changedTo_ = -1;
    emit Click();
}

bool TGridCombo::BrowseOpenList(const QKeyEvent &event)
{
    if (event.modifiers() & Qt::AltModifier) return false;
    const QModelIndex highlighted = view()->currentIndex();
    const int row = highlighted.isValid() ? highlighted.row() : currentIndex();
    int target = 0;
    switch (event.key()) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        hidePopup();
        PostToGrid(event);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up: target = row - 1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: target = row + 1; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = count() - 1; break;
    default: return false;
    }
    if (sending_) {
        QApplication::beep();
        return true;
    }
    if (count() == 0) return true;
    target = std::clamp(target, 0, count() - 1);
    view()->setCurrentIndex(model()->index(target, modelColumn(), rootModelIndex()));
    Choose(target);
    return true;
}

void TGridCombo::keyPressEvent(QKeyEvent *event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    const int row = grid_->currentIndex().row();
    switch (event->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        hidePopup();
        PostToGrid(*event);
        return;
    case Qt::Key_Up:
        if (alt) break;
        if (row > 0) {
            grid_->setFocus();
            PostToGrid(*event);
        }
        return;
    case Qt::Key_Down:
        if (alt) break;   // opens the list
        if (row < grid_->model()->rowCount() - 1) {
            grid_->setFocus();
            PostToGrid(*event);
        }
        return;
    case Qt::Key_Left: return StepSelection(-1);
    case Qt::Key_Right: return StepSelection(1);
    default: break;
    }
    QComboBox::keyPressEvent(event);
}

bool TGridCombo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view() && event->type() == QEvent::KeyPress && BrowseOpenList(static_cast<QKeyEvent &>(*event)))
        return true;
    if (watched == view()->window() && event->type() == QEvent::Hide) CloseUp();
    return QComboBox::eventFilter(watched, event);
}

void TGridCombo::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QColor colour = TextColour ? TextColour() : QColor(Qt::black);
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        option.palette.setColor(role, colour);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
