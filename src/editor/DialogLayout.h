#pragma once
// Parts shared by the editor's fixed modal dialogs: size, placement and their glyph buttons.

#include <QSize>
#include <QStyle>

#include "platform/qt/DesignSize.h"
#include "platform/qt/ScreenPlacement.h"

class QToolButton;
class QWidget;

// A flat 29 x 29 button showing a standard glyph, with the hint as its tool tip and its accessible name.
QToolButton *MakeGlyphButton(QWidget *parent, QStyle::StandardPixmap glyph, const char *hint);
