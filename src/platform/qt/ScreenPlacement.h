#pragma once
// Places a top-level window on the screen.

class QWidget;

// Puts the window's frame in the middle of its screen's free area, now and, if it is not shown yet, again when it
// is shown.
void CenterOnScreen(QWidget &window);
