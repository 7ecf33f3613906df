#include "TabRows.h"

#include "TabRowsAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>

#include <algorithm>

TTabRows::TTabRows(QWidget *parent) : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    InstallTabRowsAccessibility();
}

int TTabRows::addTab(const QString &text)
{
    texts_.append(text);
    relayout();
    if (current_ < 0) setCurrentIndex(0);
    return count() - 1;
}

void TTabRows::removeTab(int index)
{
    if (index < 0 || index >= count()) return;
    const int old = current_;
    texts_.removeAt(index);
    // The current tab stays current; when it goes, the one that takes its place, or the new last one.
    if (index < current_ || current_ >= count()) --current_;
    if (current_ < 0 && count() > 0) current_ = 0;
    hover_ = -1;
    relayout();
    if (index == old || current_ != old) emit currentChanged(current_);
}

void TTabRows::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == current_) return;
    current_ = index;
    relayout();
    if (QAccessible::isActive()) {
        if (hasFocus()) {
            QAccessibleEvent focus(this, QAccessible::Focus);
            focus.setChild(index);
            QAccessible::updateAccessibility(&focus);
        }
        QAccessibleEvent selection(this, QAccessible::Selection);
        selection.setChild(index);
        QAccessible::updateAccessibility(&selection);
    }
    emit currentChanged(current_);
}

int TTabRows::rowCount() const { return placed_.empty() ? 0 : placed_.back().row + 1; }

QRect TTabRows::tabRect(int index) const
{
    return index >= 0 && index < int(placed_.size()) ? placed_[std::size_t(index)].rect : QRect();
}

QSize TTabRows::tabSize(int index) const
{
    QStyleOptionTab option;
    initStyleOption(option, index);
    const QFontMetrics metrics = fontMetrics();
    const QSize text(metrics.size(Qt::TextShowMnemonic, texts_[index]).width() +
                         style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this),
                     metrics.height() + style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this));
    return style()->sizeFromContents(QStyle::CT_TabBarTab, &option, text, this);
}

std::vector<TTabRows::Placed> TTabRows::place(int width) const
{
    std::vector<Placed> placed;
    int height = 0;
    for (int i = 0; i < count(); ++i) height = std::max(height, tabSize(i).height());
    // Fill each row while the tabs fit; a tab wider than the whole width stands alone.
    int row = 0, x = 0;
    for (int i = 0; i < count(); ++i) {
        const int w = std::min(tabSize(i).width(), width);
        if (x > 0 && x + w > width) {
            ++row;
            x = 0;
        }
        placed.push_back({QRect(x, row * height, w, height), row});
        x += w;
    }
    // With more than one row each row is stretched over the whole width, and the rows turn round so that the row
    // of the current tab stands next to the page.
    if (row > 0) {
        const int rows = row + 1;
        const int currentRow = current_ >= 0 && current_ < int(placed.size()) ? placed[std::size_t(current_)].row : rows - 1;
        for (Placed &p : placed) p.rect.moveTop((p.row + rows - 1 - currentRow) % rows * height);
        for (std::size_t first = 0; first < placed.size();) {
            std::size_t end = first;
            while (end < placed.size() && placed[end].row == placed[first].row) ++end;
            const int spare = width - placed[end - 1].rect.right() - 1;
            const int n = int(end - first);
            int shift = 0;
            for (std::size_t i = first; i < end; ++i) {
                const int extra = spare / n + (int(i - first) < spare % n ? 1 : 0);
                placed[i].rect.translate(shift, 0);
                placed[i].rect.setWidth(placed[i].rect.width() + extra);
                shift += extra;
            }
            first = end;
        }
    }
    return placed;
}

int TTabRows::heightForWidth(int width) const
{
    int bottom = 0;
    for (const Placed &p : place(width)) bottom = std::max(bottom, p.rect.bottom() + 1);
    return bottom;
}

QSize TTabRows::sizeHint() const
{
    int width = 0;
    for (int i = 0; i < count(); ++i) width += tabSize(i).width();
    return {width, heightForWidth(width)};
}

QSize TTabRows::minimumSizeHint() const { return {0, heightForWidth(width())}; }

void TTabRows::relayout()
{
    placed_ = place(width());
    updateGeometry();
    update();
}

bool TTabRows::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange: relayout(); break;
    case QEvent::Leave: setHover(-1); break;
    default: break;
    }
    return QWidget::event(event);
}

void TTabRows::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void TTabRows::initStyleOption(QStyleOptionTab &option, int index) const
{
    option.initFrom(this);
    option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option.shape = QTabBar::RoundedNorth;
    option.text = texts_[index];
    if (index == current_) {
        option.state |= QStyle::State_Selected;
        if (hasFocus()) option.state |= QStyle::State_HasFocus;
    }
    if (index == hover_) option.state |= QStyle::State_MouseOver;
    if (index >= int(placed_.size())) return;
    option.rect = placed_[std::size_t(index)].rect;
    const int row = placed_[std::size_t(index)].row;
    const bool first = index == 0 || placed_[std::size_t(index - 1)].row != row;
    // While a tab is being added the placement lags one tab behind the texts.
    const bool last = index + 1 >= int(placed_.size()) || placed_[std::size_t(index + 1)].row != row;
    option.position = first && last ? QStyleOptionTab::OnlyOneTab
                      : first       ? QStyleOptionTab::Beginning
                      : last        ? QStyleOptionTab::End
                                    : QStyleOptionTab::Middle;
    const bool currentInRow = current_ >= 0 && current_ < int(placed_.size()) && placed_[std::size_t(current_)].row == row;
    option.selectedPosition = !currentInRow || current_ == index ? QStyleOptionTab::NotAdjacent
                              : current_ == index - 1           ? QStyleOptionTab::PreviousIsSelected
                              : current_ == index + 1           ? QStyleOptionTab::NextIsSelected
                                                                : QStyleOptionTab::NotAdjacent;
}

void TTabRows::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    for (int i = 0; i < count(); ++i) {
        if (i == current_) continue;
        QStyleOptionTab option;
        initStyleOption(option, i);
        painter.drawControl(QStyle::CE_TabBarTab, option);
    }
    if (current_ >= 0 && current_ < count()) {   // the selected tab overlaps its neighbours
        QStyleOptionTab option;
        initStyleOption(option, current_);
        painter.drawControl(QStyle::CE_TabBarTab, option);
    }
}

int TTabRows::tabAt(QPoint pos) const
{
    for (std::size_t i = 0; i < placed_.size(); ++i)
        if (placed_[i].rect.contains(pos)) return int(i);
    return -1;
}

void TTabRows::setHover(int index)
{
    if (index == hover_) return;
    hover_ = index;
    update();
}

void TTabRows::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    setCurrentIndex(tabAt(event->position().toPoint()));
}

void TTabRows::mouseMoveEvent(QMouseEvent *event) { setHover(tabAt(event->position().toPoint())); }

void TTabRows::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left: setCurrentIndex(current_ - 1); break;
    case Qt::Key_Right: setCurrentIndex(current_ + 1); break;
    default: QWidget::keyPressEvent(event);
    }
}
