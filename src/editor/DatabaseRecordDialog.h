#pragma once
// The record dialog of the configuration database: the descriptive fields of one record beside a read-only list
// of its command strings.

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

class TDBEditForm : public QDialog {
public:
    explicit TDBEditForm(QWidget *owner);

    QLineEdit *DevEdit;    // upper case, 10 characters
    QLineEdit *SerEdit;    // upper case, 10 characters
    QLineEdit *Authedit;   // 20 characters
    QLineEdit *DescEdit;   // 30 characters
    QListWidget *CfgList;
    QPushButton *OkBtn;
    QPushButton *EscBtn;

    // Closes with OK unless the serial number is empty.
    void OkBtnClick();
};
