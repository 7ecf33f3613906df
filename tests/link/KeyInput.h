#pragma once
// Key presses sent to a widget the way the window system delivers them.

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

inline bool pressKey(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent event(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &event);
    return event.isAccepted();
}

// Printable ASCII characters, one key press each.
inline void typeText(QWidget *w, const QString &text)
{
    for (QChar c : text) pressKey(w, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

inline void pressCtrl(QWidget *w, char letter) { pressKey(w, Qt::Key_A + (letter - 'A'), Qt::ControlModifier); }
