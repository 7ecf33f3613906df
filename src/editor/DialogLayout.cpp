#include "DialogLayout.h"

#include <QToolButton>
#include <QWidget>

QToolButton *MakeGlyphButton(QWidget *parent, QStyle::StandardPixmap glyph, const char *hint)
{
    auto *button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(glyph));
    button->setToolTip(hint);
    button->setAccessibleName(hint);   // a glyph alone names nothing for a screen reader
    button->setAutoRaise(true);
    button->setFixedSize(29, 29);
    return button;
}
