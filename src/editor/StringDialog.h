#pragma once
// The string dialog for a text that a template spreads over a run of entries, one character each ("Name[n]").

#include "ColumnMenu.h"

#include <QDialog>

#include <cstdint>
#include <string>

class QKeyEvent;
class QPushButton;
class QTableWidget;
class QWidget;
class TTplEnt;

class TStrForm : public QDialog {
    Q_OBJECT
public:
    explicit TStrForm(QWidget *owner);

    // One column per character; the header row holds the column numbers 1..n.
    void SetText(const std::string &s);
    // The column of the entry the dialog was opened from; -1 marks none.
    void SetMarkedColumn(int32_t n);
    std::string GetText() const;
    // Puts the character `code` into the current column.
    void CharMenuClick(uint8_t code);

    // The template's name of byte 127 for the entry; empty when the template gives it no name of its own.
    std::string DelName;

    QTableWidget *Grid;
    TColumnMenu *CharMenu;   // four columns of eight control characters, then byte 127
    QPushButton *OKBtn, *CancelBtn;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    // Handles a key pressed in the grid; true when the key is consumed.
    bool GridKeyDown(const QKeyEvent &key);
    // Puts the character into the current column and moves to the next column, if there is one.
    void TypeChar(uint8_t code);
    void SetCell(int column, uint8_t code);
    void DrawCell(int column);

    int32_t MarkedColumn = -1;
    std::string text_;
};

// Edits the text whose run of entries holds `entry` (at most 30 characters from where the run's index starts
// rising) and, on OK, writes each character back with its value text. "Not a valid string!" when the entry is
// not part of a text. True when the entries were changed.
bool EditString(QWidget *owner, TTplEnt &entry);
