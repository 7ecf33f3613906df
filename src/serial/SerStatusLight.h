#pragma once
// A small LED-like light: a bevelled coloured square, or one half of a glyph bitmap (the left half lit, the
// right half unlit), lit or unlit.

#include "SerMisc.h"

#include <QColor>
#include <QImage>
#include <QWidget>

class TSerCustomStatusLight : public QWidget, public TSerBaseComponent {
    Q_OBJECT
public:
    explicit TSerCustomStatusLight(QWidget *parent = nullptr);

    const QImage &Glyph() const { return glyph_; }
    // Copies the bitmap; a null image removes the glyph. With a glyph the light is as large as one half of it,
    // without one it is 13 x 13; layouts keep it at that size. The glyph's top-left colour is transparent.
    void SetGlyph(const QImage &glyph);
    bool Lit() const { return lit_; }
    void SetLit(bool value);
    QColor LitColor() const { return litColor_; }
    void SetLitColor(const QColor &color);
    QColor NotLitColor() const { return notLitColor_; }
    void SetNotLitColor(const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool HasGlyph() const { return !glyph_.isNull(); }

    QImage glyph_;
    QImage litImage_;     // the glyph's halves with the transparent colour cleared
    QImage unlitImage_;
    bool lit_ = false;
    QColor litColor_ {255, 0, 0};
    QColor notLitColor_ {0, 128, 0};
};

class TSerStatusLight : public TSerCustomStatusLight {
    Q_OBJECT
public:
    using TSerCustomStatusLight::TSerCustomStatusLight;
};
