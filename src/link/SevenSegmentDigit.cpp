#include "SevenSegmentDigit.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr unsigned kDigitSegments[11] = {
    0,                                          // -1
    0b0111111,  0b0001100,  0b1110110,  0b1011110, 0b1001101,
    0b1011011,  0b1111011,  0b0001110,  0b1111111, 0b1011111,
};

struct Line {
    int x1, y1, x2, y2;
};

// The three lines of a segment; end points are exclusive.
void segmentLines(int segment, int w, int h, Line out[3])
{
    const int m = (h - 1) / 2;
    switch (segment) {
    case 1: out[0] = {1, 4, 1, m - 1}; out[1] = {2, 3, 2, m}; out[2] = {3, 4, 3, m - 1}; break;
    case 2: out[0] = {4, 1, w - 4, 1}; out[1] = {3, 2, w - 3, 2}; out[2] = {4, 3, w - 4, 3}; break;
    case 3: out[0] = {w - 2, 4, w - 2, m - 1}; out[1] = {w - 3, 3, w - 3, m}; out[2] = {w - 4, 4, w - 4, m - 1}; break;
    case 4: out[0] = {w - 2, m + 2, w - 2, h - 4}; out[1] = {w - 3, m + 1, w - 3, h - 3}; out[2] = {w - 4, m + 2, w - 4, h - 4}; break;
    case 5: out[0] = {4, h - 4, w - 4, h - 4}; out[1] = {3, h - 3, w - 3, h - 3}; out[2] = {4, h - 2, w - 4, h - 2}; break;
    case 6: out[0] = {1, m + 2, 1, h - 4}; out[1] = {2, m + 1, 2, h - 3}; out[2] = {3, m + 2, 3, h - 4}; break;
    case 7: out[0] = {4, m - 1, w - 4, m - 1}; out[1] = {3, m, w - 3, m}; out[2] = {4, m + 1, w - 4, m + 1}; break;
    default: out[0] = out[1] = out[2] = {0, 0, 0, 0}; break;
    }
}

} // namespace

TLed::TLed(QWidget *parent) : QWidget(parent)
{
    resize(19, 33);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

unsigned TLed::SegmentMask(int value)
{
    return kDigitSegments[std::clamp(value, -1, 9) + 1] << 1;
}

void TLed::SetBackColor(const QColor &color)
{
    backColor_ = color;
    invalidateFace();
}

void TLed::SetForeColor(const QColor &color)
{
    foreColor_ = color;
    invalidateFace();
}

void TLed::SetBorder(TBorderStyle border)
{
    border_ = border;
    invalidateFace();
}

void TLed::SetBorderColor(const QColor &color)
{
    borderColor_ = color;
    invalidateFace();
}

void TLed::SetValue(int value)
{
    if (value == value_) return;
    previous_ = value_;
    value_ = std::clamp(value, -1, 9);
    if (face_.isNull()) return;   // the next paint draws everything
    redrawSegments();
    update();
}

void TLed::invalidateFace()
{
    face_ = QImage();
    update();
}

void TLed::resizeEvent(QResizeEvent *) { face_ = QImage(); }

void TLed::paintFace()
{
    face_ = QImage(size(), QImage::Format_RGB32);
    QPainter p(&face_);
    p.fillRect(face_.rect(), backColor_);
    p.setPen(border_ == bsSingle ? borderColor_ : backColor_);
    p.drawRect(0, 0, width() - 1, height() - 1);
    previous_ = -1;
    p.end();
    redrawSegments();
}

void TLed::redrawSegments()
{
    const unsigned before = SegmentMask(previous_), now = SegmentMask(value_);
    for (int s = 1; s <= 7; ++s)
        if ((before & (1u << s)) && !(now & (1u << s))) drawSegment(s, backColor_);
    for (int s = 1; s <= 7; ++s)
        if ((now & (1u << s)) && !(before & (1u << s))) drawSegment(s, foreColor_);
}

void TLed::drawSegment(int segment, const QColor &color)
{
    Line lines[3];
    segmentLines(segment, face_.width(), face_.height(), lines);
    QPainter p(&face_);
    for (const Line &l : lines) {
        if (l.y1 == l.y2 && l.x2 > l.x1) p.fillRect(l.x1, l.y1, l.x2 - l.x1, 1, color);
        if (l.x1 == l.x2 && l.y2 > l.y1) p.fillRect(l.x1, l.y1, 1, l.y2 - l.y1, color);
    }
}

void TLed::paintEvent(QPaintEvent *)
{
    if (face_.isNull() || face_.size() != size()) paintFace();
    QPainter(this).drawImage(0, 0, face_);
}
