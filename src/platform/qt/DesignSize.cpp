#include "DesignSize.h"

#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

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

void ShrinkableToText(QPushButton &button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    if (button.isDefault() || button.autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    // Without a text in the option the style adds the frame and margins only, not its smallest width.
    const QSize text = button.fontMetrics().size(Qt::TextShowMnemonic, button.text());
    button.setMinimumWidth(button.style()->sizeFromContents(QStyle::CT_PushButton, &option, text, &button).width());
}
