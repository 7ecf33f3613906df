#pragma once
// The About box of this edition: program name, version and date.

#include <QDialog>

#include <cstdint>

class QLabel;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // The box of an edition: 0 (and any unknown code) is Corvane's own, 1 to 6 the partner editions.
    TAboutBox(QWidget *owner, uint8_t edition);

    QLabel *ProgramIcon;
    QLabel *ProductLabel;
    QLabel *VersionLabel;
    QLabel *MakerLabel;
    QLabel *VerDateLabel;

    // The logo: bars of a barcode.
    static QPixmap Logo();
};

// Shows the About box of the build's edition modally.
void ShowAboutBox(QWidget *owner);
