#pragma once
// A row of tabs that wraps into further rows when the tabs do not fit the width; the rows then share the width
// out. Tabs light up under the mouse; a click or the arrow keys select one.

#include <QStringList>
#include <QWidget>

#include <vector>

class QStyleOptionTab;

class TTabRows : public QWidget {
    Q_OBJECT
public:
    explicit TTabRows(QWidget *parent = nullptr);

    int addTab(const QString &text);
    void removeTab(int index);
    int count() const { return int(texts_.size()); }
    QString tabText(int index) const { return texts_.value(index); }
    // -1 while there are no tabs.
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);

    // The rows the tabs take at the present width, and where a tab lies.
    int rowCount() const;
    QRect tabRect(int index) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void currentChanged(int index);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Placed {
        QRect rect;
        int row;
    };
    QSize tabSize(int index) const;
    std::vector<Placed> place(int width) const;
    void relayout();
    int tabAt(QPoint pos) const;
    void setHover(int index);
    void initStyleOption(QStyleOptionTab &option, int index) const;

    QStringList texts_;
    std::vector<Placed> placed_;
    int current_ = -1;
    int hover_ = -1;
};
