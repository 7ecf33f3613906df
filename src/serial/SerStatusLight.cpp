#include "SerStatusLight.h"

#include <QPainter>

namespace {

constexpr int DefaultSize = 13;

// One half of the glyph, with every pixel of the transparent colour made fully transparent.
QImage GlyphHalf(const QImage &glyph, int left, QRgb transparent)
{
    QImage half = glyph.copy(left, 0, glyph.width() / 2, glyph.height()).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < half.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(half.scanLine(y));
        for (int x = 0; x < half.width(); ++x)
            if (qRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x])) == transparent)
                line[x] = 0;
    }
    return half;
}

} // namespace

TSerCustomStatusLight::TSerCustomStatusLight(QWidget *parent) : QWidget(parent)
{
    setFixedSize(DefaultSize, DefaultSize);
}

void TSerCustomStatusLight::SetGlyph(const QImage &glyph)
{
    glyph_ = glyph;
    if (HasGlyph()) {
        const QRgb transparent = glyph_.pixel(0, 0) | 0xFF000000u;
        litImage_ = GlyphHalf(glyph_, 0, transparent);
        unlitImage_ = GlyphHalf(glyph_, glyph_.width() / 2, transparent);
        setFixedSize(glyph_.width() / 2, glyph_.height());
    } else {
        litImage_ = unlitImage_ = QImage();
        setFixedSize(DefaultSize, DefaultSize);
    }
    update();
}

void TSerCustomStatusLight::SetLit(bool value)
{
    if (value == lit_)
        return;
    lit_ = value;
    update();
}

void TSerCustomStatusLight::SetLitColor(const QColor &color)
{
    if (color == litColor_)
        return;
    litColor_ = color;
    if (!HasGlyph() && lit_)
        update();
}

void TSerCustomStatusLight::SetNotLitColor(const QColor &color)
{
    if (color == notLitColor_)
        return;
    notLitColor_ = color;
    if (!HasGlyph() && !lit_)
        update();
}

QSize TSerCustomStatusLight::sizeHint() const
{
    return HasGlyph() ? QSize(glyph_.width() / 2, glyph_.height()) : QSize(DefaultSize, DefaultSize);
}

void TSerCustomStatusLight::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (HasGlyph()) {
        painter.drawImage(rect(), lit_ ? litImage_ : unlitImage_);
        return;
    }
    const int right = width() - 1, bottom = height() - 1;
    painter.fillRect(rect(), lit_ ? litColor_ : notLitColor_);
    painter.setPen(Qt::white);
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(right, 1, right, bottom);
    painter.drawLine(1, bottom, right, bottom);
}
