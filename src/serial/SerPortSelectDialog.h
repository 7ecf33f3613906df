#pragma once
// The port selection dialog: lists the serial ports that exist and lets the user pick one.

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

class TComSelectForm : public QDialog {
public:
    // The dialog's results: OK, and Abort for Cancel.
    static constexpr int ResultOk = 1;
    static constexpr int ResultAbort = 3;

    explicit TComSelectForm(QWidget *parent = nullptr);

    // Whether a port of that number exists (a port in use or without permission counts as existing).
    static bool IsPortAvailable(int comNumber);
    // The number of the chosen entry; 0 when nothing is chosen.
    int SelectedComNumber() const;

    QComboBox *PortsComboBox;
    QLabel *DeviceLabel;   // the device behind the chosen entry; each entry shows it as its tool tip
    QPushButton *OkBtn;
    QPushButton *AbortBtn;

private:
    void FormCreate();
    void ShowDevice();

    QLabel *Label1;
    QLabel *Label2;
};
