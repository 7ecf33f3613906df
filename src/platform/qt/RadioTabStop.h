#pragma once
// Radio buttons that stand in the Tab chain as one control, as desktop radio groups do: only the checked button
// (the first while none is checked) is a tab stop; the arrow keys move between the buttons.

#include <QList>

class QAbstractButton;

void MakeOneTabStop(const QList<QAbstractButton *> &buttons);
