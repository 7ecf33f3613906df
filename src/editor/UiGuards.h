#pragma once
// Scoped user-interface states that must end however the scope ends: the hourglass cursor and a widget whose
// repainting is suspended.

#include <QGuiApplication>
#include <QWidget>

class TWaitCursor {
public:
    TWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;
};

class TUpdateLock {
public:
    explicit TUpdateLock(QWidget *widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
    ~TUpdateLock() { widget_->setUpdatesEnabled(true); }
    TUpdateLock(const TUpdateLock &) = delete;
    TUpdateLock &operator=(const TUpdateLock &) = delete;

private:
    QWidget *widget_;
};
