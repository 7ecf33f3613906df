#pragma once
// The device picker: the devices of TARSEL.INI in a list, for a call that names none.

#include "platform/ShortStr.h"

#include <QDialog>

#include <string>

class QListWidget;
class QPushButton;

class TDevForm : public QDialog {
    Q_OBJECT
public:
    explicit TDevForm(QWidget *owner);

    // The OK button and a double click anywhere in the list: takes the selected device, if any, and ends with OK.
    void OkBtnClick();

    QListWidget *ListBox;
    QPushButton *OkBtn;
    QPushButton *BitBtn1;
    ShortStr<255> SelectedDevice;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
};

// The device the user picks; empty when the user cancels or the list is empty.
std::string PickDevice(QWidget *owner);
