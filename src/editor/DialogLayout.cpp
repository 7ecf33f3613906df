#include "DialogLayout.h"

#include <QScreen>
#include <QToolButton>
#include <QWidget>

void FixDialogSize(QWidget &dialog, QSize design) { dialog.setFixedSize(design.expandedTo(dialog.minimumSizeHint())); }

void CenterOnScreen(QWidget &window)
{
    if (const QScreen *screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

QToolButton *MakeGlyphButton(QWidget *parent, QStyle::StandardPixmap glyph, const char *hint)
{
    auto *button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(glyph));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFixedSize(29, 29);
    return button;
}
