#pragma once
// The MDI client: light grey with a large bar-code picture in the middle of the frame.

#include <QImage>
#include <QMdiArea>

class TBackgroundArea : public QMdiArea {
    Q_OBJECT
public:
    explicit TBackgroundArea(QWidget *frame);

    void SetBackgroundEnabled(bool enabled);

    // Where the picture stands in the client, for a frame whose client area has the given size: centred on
    // the frame, so the offsets are negative when the frame is smaller than the picture.
    static QPoint BackgroundOrigin(QSize frameClient);
    // The 834 x 836 one-bit picture: set bits in the button face colour, clear bits in the shadow colour.
    static QImage BigBar();

protected:
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QWidget *frame_;
    QImage bigBar_;
    bool enabled_ = false;
};
