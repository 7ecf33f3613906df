#include "DesignSize.h"

#include <QWidget>

#include <cmath>

namespace {
constexpr double kDesignPixels = 8.0 * 96.0 / 72.0;   // an 8-point font at 96 dpi
}

double FontScale(const QWidget &widget)
{
    const QFont font = widget.font();
    const double pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * widget.logicalDpiY() / 72.0;
    return pixels / kDesignPixels;
}

int ScaledToFont(int design, const QWidget &widget) { return int(std::lround(design * FontScale(widget))); }

QSize ScaledToFont(QSize design, const QWidget &widget)
{
    return {ScaledToFont(design.width(), widget), ScaledToFont(design.height(), widget)};
}

void FixDialogSize(QWidget &dialog, QSize design)
{
    dialog.setFixedSize(ScaledToFont(design, dialog).expandedTo(dialog.minimumSizeHint()));
}

void FixToFontAndText(QWidget &control, QSize design)
{
    control.setFixedSize(ScaledToFont(design, control).expandedTo(control.sizeHint()));
}
