#pragma once
// Places a window in the middle of the screen.

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

inline void CentreOnScreen(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->geometry().center());
        window->move(frame.topLeft());
    }
}
