#pragma once
// A pair of small arrow buttons beside an edit: one step up or down, repeated while held. The buttons are no tab
// stops; in the edit the Up and Down keys take the same steps.

#include <QWidget>

class QToolButton;

class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget *edit, QWidget *parent = nullptr);

    QToolButton *UpButton;
    QToolButton *DownButton;

signals:
    void UpClick();
    void DownClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
