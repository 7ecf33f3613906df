#pragma once
// Parts shared by the editor's fixed modal dialogs: size, placement and their glyph buttons.

#include <QSize>
#include <QStyle>

class QToolButton;
class QWidget;

// Fixes the window at its design size, or at the least its layout needs when that is larger.
void FixDialogSize(QWidget &dialog, QSize design);
// Puts the window in the middle of its screen's free area.
void CenterOnScreen(QWidget &window);
// A flat 29 x 29 button showing a standard glyph and the hint as its tool tip.
QToolButton *MakeGlyphButton(QWidget *parent, QStyle::StandardPixmap glyph, const char *hint);
