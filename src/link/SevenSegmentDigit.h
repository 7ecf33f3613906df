#pragma once
// One seven-segment digit. A value change draws only the segments that change.

#include <QColor>
#include <QImage>
#include <QWidget>

class TLed : public QWidget {
    Q_OBJECT
public:
    enum TBorderStyle { bsNone, bsSingle };

    explicit TLed(QWidget *parent = nullptr);

    QColor BackColor() const { return backColor_; }
    QColor ForeColor() const { return foreColor_; }
    int Value() const { return value_; }
    TBorderStyle Border() const { return border_; }
    QColor BorderColor() const { return borderColor_; }

    void SetBackColor(const QColor &color);
    void SetForeColor(const QColor &color);
    // 0..9, or -1 for no digit; values outside are clamped.
    void SetValue(int value);
    void SetBorder(TBorderStyle border);
    void SetBorderColor(const QColor &color);

    // Lit segments of a value as bits 1..7 (1 upper left, 2 top, 3 upper right, 4 lower right, 5 bottom,
    // 6 lower left, 7 middle).
    static unsigned SegmentMask(int value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void invalidateFace();
    void paintFace();
    void redrawSegments();
    void drawSegment(int segment, const QColor &color);

    QColor backColor_ = Qt::black;
    QColor foreColor_ = QColor(0x00, 0xFF, 0x00);
    int value_ = 1;
    int previous_ = -1;
    TBorderStyle border_ = bsNone;
    QColor borderColor_ = Qt::black;
    QImage face_;   // what the control shows; segment changes are drawn into it
};
