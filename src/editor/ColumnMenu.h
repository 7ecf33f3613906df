#pragma once
// A popup menu whose items stand in columns: a separator ends a column and draws a bar before the next one.
// Items are the widget's actions; choosing one closes the menu and triggers it.

#include <QWidget>

#include <vector>

class TColumnMenu : public QWidget {
    Q_OBJECT
public:
    explicit TColumnMenu(QWidget *parent = nullptr);

    QAction *addAction(const QString &text);
    // Starts a new column.
    void addSeparator();
    // Removes and deletes every item.
    void clear();
    // Shows the menu with its top-left corner at the global position, moved onto the screen where needed.
    void popup(const QPoint &globalPos);

    // Where an item lies while the menu is laid out; an empty rectangle for a separator.
    QRect itemRect(int index) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void layoutItems();
    int itemAt(QPoint pos) const;
    void setCurrent(int index);
    // The nearest item from `index` in steps of `step` rows (vertical) or columns (horizontal).
    int neighbour(int index, int rowStep, int columnStep) const;
    void choose(int index);

    std::vector<QRect> rects_;
    std::vector<QRect> bars_;
    QSize size_;
    int current_ = -1;
    int margin_ = 0;
};
