#pragma once
// Window and control sizes drawn up for an 8-point font on a 96-dpi screen, grown in step with the font in use.

#include <QSize>

class QPushButton;
class QWidget;

// How many times larger than the design font (8 pt at 96 dpi) the widget's font is drawn.
double FontScale(const QWidget &widget);
// A design length or size in pixels, grown by the widget's font scale.
int ScaledToFont(int design, const QWidget &widget);
QSize ScaledToFont(QSize design, const QWidget &widget);
// Fixes the window at its design size grown with its font, or at the size its layout needs when that is larger.
void FixDialogSize(QWidget &dialog, QSize design);
// Lets a push button be narrower than the style's smallest button, down to what its text and frame need.
void ShrinkableToText(QPushButton &button);
