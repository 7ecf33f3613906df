#include "RadioTabStop.h"

#include <QAbstractButton>

void MakeOneTabStop(const QList<QAbstractButton *> &buttons)
{
    if (buttons.isEmpty()) return;
    auto follow = [buttons] {
        QAbstractButton *stop = buttons.first();
        for (QAbstractButton *b : buttons)
            if (b->isChecked()) stop = b;
        for (QAbstractButton *b : buttons) b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (QAbstractButton *b : buttons) QObject::connect(b, &QAbstractButton::toggled, b, follow);
    follow();
}
