#pragma once
// A pair of small arrow buttons beside an edit: one step up or down, repeated while held.

#include <QWidget>

class QToolButton;

class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget *parent = nullptr);

    QToolButton *UpButton;
    QToolButton *DownButton;

signals:
    void UpClick();
    void DownClick();
};
