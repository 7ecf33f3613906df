#pragma once
// The configuration database window: the records of CFGDB.DAT in a grid; a new record from the current
// configuration, a record's descriptive fields edited, a record deleted, or one record picked, whose
// configuration the caller then reads from Commands.

#include "ConfigDatabase.h"
#include "model/ConfigImage.h"
#include "platform/ShortStr.h"

#include <QDialog>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;
class TExtGrid;
class TTemplate;

class TDBForm : public QDialog {
public:
    // A picked record's template is loaded into `target`: the program's template (which also makes it the
    // current template name) or the compare window's own one.
    TDBForm(QWidget *owner, TTemplate &target);
    ~TDBForm() override;

    // After OK: the picked record's command strings, and its serial number with its date and time.
    ConfigRecords Commands;
    ShortStr<50> RecordTitle;

    QMenuBar *MainMenu1;
    QMenu *EditMenu;
    QAction *InsItem;
    QAction *EditItem;
    QAction *DelItem;
    QToolButton *InsBtn;
    QToolButton *EditBtn;
    QToolButton *DelBtn;
    QPushButton *OkBtn;
    QPushButton *EscBtn;
    TExtGrid *DBGrid;
    QLabel *StatusBar;

    // The current configuration of the program's template as a new record, after the record dialog.
    void InsBtnClick();
    // The descriptive fields of the current record in the record dialog, stored again under their key.
    void EditBtnClick();
    // Deletes the current record after a question.
    void DelBtnClick();
    // Picks the current record: loads its template and closes with OK.
    void OkBtnClick();
    void ShowPosition(int n);
    // Runs the record dialog for the record; true when it was closed with OK.
    bool EditRecordDialog(CfgDbRecord &rec);

    TDBFile &File() { return DBFile; }
    bool SelectionValid() const { return selectionValid_; }

private:
    void buildControls();
    void DBGridGetCell(int col, int row, std::string &text);
    bool DBGridSelectCell(int row);
    // The record dialog, then the record stored under its key; the grid gets a row for every record.
    void EditAndStore(CfgDbRecord &rec);

    TDBFile DBFile;
    TTemplate &target_;
    bool selectionValid_ = true;
};

// The date and time of an OLE date as the user's locale writes a short date and a long time; empty for a date
// that cannot be shown.
std::string DbDateTimeText(double date);
