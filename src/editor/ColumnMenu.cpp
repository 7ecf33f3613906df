#include "ColumnMenu.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOption>

#include <algorithm>

namespace {
constexpr int kBarWidth = 6;
constexpr int kTextMargin = 8;
}

TColumnMenu::TColumnMenu(QWidget *parent) : QWidget(parent, Qt::Popup)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

QAction *TColumnMenu::addAction(const QString &text)
{
    auto *action = new QAction(text, this);
    QWidget::addAction(action);
    return action;
}

void TColumnMenu::addSeparator()
{
    auto *bar = new QAction(this);
    bar->setSeparator(true);
    QWidget::addAction(bar);
}

void TColumnMenu::clear()
{
    const QList<QAction *> items = actions();
    for (QAction *action : items) {
        removeAction(action);
        if (action->parent() == this) delete action;
    }
    current_ = -1;
    rects_.clear();
}

void TColumnMenu::layoutItems()
{
    margin_ = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this) +
              style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    const QList<QAction *> items = actions();
    rects_.assign(std::size_t(items.size()), QRect());
    bars_.clear();
    // Sizes first; a column is as wide as its widest item.
    std::vector<QSize> sizes;
    for (const QAction *action : items)
        sizes.push_back(action->isSeparator() ? QSize()
                                              : QSize(fontMetrics().horizontalAdvance(action->text()) + 2 * kTextMargin,
                                                      fontMetrics().height() + kTextMargin));
    int x = margin_, bottom = margin_;
    for (std::size_t first = 0; first < std::size_t(items.size());) {
        std::size_t end = first;
        int width = 0;
        while (end < std::size_t(items.size()) && !items[int(end)]->isSeparator()) width = std::max(width, sizes[end++].width());
        int y = margin_;
        for (std::size_t i = first; i < end; ++i) {
            rects_[i] = QRect(x, y, width, sizes[i].height());
            y += sizes[i].height();
        }
        bottom = std::max(bottom, y);
        x += width;
        if (end < std::size_t(items.size())) {
            bars_.push_back(QRect(x, margin_, kBarWidth, 0));
            x += kBarWidth;
        }
        first = end + 1;
    }
    for (QRect &bar : bars_) bar.setHeight(bottom - margin_);
    size_ = QSize(x + margin_, bottom + margin_);
}

QSize TColumnMenu::sizeHint() const { return size_; }

QRect TColumnMenu::itemRect(int index) const
{
    return index >= 0 && index < int(rects_.size()) ? rects_[std::size_t(index)] : QRect();
}

void TColumnMenu::popup(const QPoint &globalPos)
{
    layoutItems();
    resize(size_);
    QRect where(globalPos, size_);
    if (const QScreen *screen = QGuiApplication::screenAt(globalPos)) {
        const QRect free = screen->availableGeometry();
        if (where.right() > free.right()) where.moveRight(free.right());
        if (where.bottom() > free.bottom()) where.moveBottom(free.bottom());
        where.moveTopLeft(QPoint(std::max(where.left(), free.left()), std::max(where.top(), free.top())));
    }
    move(where.topLeft());
    current_ = -1;
    show();
    setFocus();
}

void TColumnMenu::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption panel;
    panel.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelMenu, &panel, &painter, this);
    style()->drawPrimitive(QStyle::PE_FrameMenu, &panel, &painter, this);
    const QList<QAction *> items = actions();
    for (int i = 0; i < items.size() && i < int(rects_.size()); ++i) {
        if (items[i]->isSeparator()) continue;
        const QRect at = rects_[std::size_t(i)];
        QPalette::ColorRole text = QPalette::WindowText;
        if (i == current_) {
            painter.fillRect(at, palette().brush(QPalette::Highlight));
            text = QPalette::HighlightedText;
        }
        painter.setPen(palette().color(items[i]->isEnabled() ? QPalette::Active : QPalette::Disabled, text));
        painter.drawText(at.adjusted(kTextMargin, 0, -kTextMargin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         items[i]->text());
    }
    // Each column break: an etched vertical line.
    for (const QRect &bar : bars_) {
        const int x = bar.center().x();
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(x, bar.top(), x, bar.bottom());
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(x + 1, bar.top(), x + 1, bar.bottom());
    }
}

int TColumnMenu::itemAt(QPoint pos) const
{
    const QList<QAction *> items = actions();
    for (std::size_t i = 0; i < rects_.size(); ++i)
        if (!items[int(i)]->isSeparator() && items[int(i)]->isEnabled() && rects_[i].contains(pos)) return int(i);
    return -1;
}

void TColumnMenu::setCurrent(int index)
{
    if (index == current_) return;
    current_ = index;
    update();
}

void TColumnMenu::mouseMoveEvent(QMouseEvent *event) { setCurrent(itemAt(event->position().toPoint())); }

void TColumnMenu::leaveEvent(QEvent *) { setCurrent(-1); }

void TColumnMenu::mouseReleaseEvent(QMouseEvent *event)
{
    if (!rect().contains(event->position().toPoint())) return hide();
    const int index = itemAt(event->position().toPoint());
    if (index >= 0) choose(index);
}

void TColumnMenu::choose(int index)
{
    QAction *action = actions().value(index);
    hide();
    if (action) action->trigger();
}

int TColumnMenu::neighbour(int index, int rowStep, int columnStep) const
{
    if (index < 0) return itemAt(rects_.empty() ? QPoint() : rects_.front().center());
    // Columns are runs of items between separators; a step keeps the row, clamped to the column's length.
    std::vector<std::vector<int>> columns(1);
    int column = 0, row = 0;
    const QList<QAction *> items = actions();
    for (int i = 0; i < items.size(); ++i) {
        if (items[i]->isSeparator()) {
            columns.emplace_back();
            continue;
        }
        if (i == index) {
            column = int(columns.size()) - 1;
            row = int(columns.back().size());
        }
        columns.back().push_back(i);
    }
    column = std::clamp(column + columnStep, 0, int(columns.size()) - 1);
    const std::vector<int> &target = columns[std::size_t(column)];
    if (target.empty()) return index;
    return target[std::size_t(std::clamp(row + rowStep, 0, int(target.size()) - 1))];
}

void TColumnMenu::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up: setCurrent(neighbour(current_, -1, 0)); break;
    case Qt::Key_Down: setCurrent(neighbour(current_, 1, 0)); break;
    case Qt::Key_Left: setCurrent(neighbour(current_, 0, -1)); break;
    case Qt::Key_Right: setCurrent(neighbour(current_, 0, 1)); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current_ >= 0) choose(current_);
        break;
    case Qt::Key_Escape: hide(); break;
    default: QWidget::keyPressEvent(event);
    }
}
