#include "BackgroundArea.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>

namespace {
constexpr int kBarWidth = 834, kBarHeight = 836;
}

TBackgroundArea::TBackgroundArea(QWidget *frame) : QMdiArea(frame), frame_(frame)
{
    // A child window that lies partly beyond the area is scrolled into reach.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TBackgroundArea::SetBackgroundEnabled(bool enabled)
{
    enabled_ = enabled;
    if (enabled && bigBar_.isNull()) bigBar_ = BigBar();
    viewport()->update();
}

QPoint TBackgroundArea::BackgroundOrigin(QSize frameClient)
{
    return {(frameClient.width() - kBarWidth) / 2, (frameClient.height() - kBarHeight) / 2};
}

QImage TBackgroundArea::BigBar()
{
    // Bars of one to four units across a framed field, in a fixed pseudo-random sequence.
    QImage image(kBarWidth, kBarHeight, QImage::Format_Mono);
    image.fill(0);
    const int left = 60, right = kBarWidth - 60, top = 120, bottom = kBarHeight - 160;
    uint32_t seed = 0x2007u;
    int x = left;
    bool bar = true;
    while (x < right) {
        seed = seed * 1103515245u + 12345u;
        const int width = 6 * int(1 + (seed >> 16) % 4);
        if (bar)
            for (int dx = 0; dx < width && x + dx < right; ++dx)
                for (int y = top; y < bottom; ++y) image.setPixel(x + dx, y, 1);
        x += width;
        bar = !bar;
    }
    for (int i = 0; i < 8; ++i) {   // a frame around the field
        for (int xx = left - 30; xx < right + 30; ++xx) {
            image.setPixel(xx, top - 30 - i, 1);
            image.setPixel(xx, bottom + 30 + i, 1);
        }
        for (int yy = top - 30; yy < bottom + 30; ++yy) {
            image.setPixel(left - 30 - i, yy, 1);
            image.setPixel(right + 30 + i, yy, 1);
        }
    }
    return image;
}

void TBackgroundArea::paintEvent(QPaintEvent *event)
{
    if (!enabled_) return QMdiArea::paintEvent(event);
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(192, 192, 192));
    QImage picture = bigBar_;
    picture.setColor(0, palette().color(QPalette::Dark).rgb());
    picture.setColor(1, palette().color(QPalette::Button).rgb());
    int frameClientHeight = frame_->height();
    if (auto *main = qobject_cast<QMainWindow *>(frame_)) frameClientHeight -= main->menuBar()->height();
    // The origin is taken from the frame's client size but applies to this area, as the frame draws it.
    p.drawImage(BackgroundOrigin({frame_->width(), frameClientHeight}), picture);
}

void TBackgroundArea::scrollContentsBy(int dx, int dy)
{
    QMdiArea::scrollContentsBy(dx, dy);
    viewport()->update();
}
