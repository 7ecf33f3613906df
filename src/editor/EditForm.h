#pragma once
// The Edit configuration window: the template's pages as tabs, the shown entries of the selected page as grid
// rows, a value list over the current row's value, and in interactive mode every chosen value sent to the reader.

#include "EditGrid.h"
#include "TabRows.h"
#include "link/CommViews.h"
#include "platform/qt/MenuGroups.h"

#include <QMdiSubWindow>

#include <cstdint>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QToolButton;
class TGridCombo;
class TTplEnt;

class TEditForm : public QMdiSubWindow, public IEditView, public IMergedMenus {
    Q_OBJECT
public:
    explicit TEditForm(QWidget *parent = nullptr);
    ~TEditForm() override;

    // IEditView: tabs, rows and values shown again from the template.
    void RefreshAll() override;
    // "Co&mmands" joins the main menu bar as group 1, "&Help" as group 3.
    std::vector<TMenuGroup> MenuGroups() const override { return {{1, File1}, {3, Help1}}; }

    void UpdateCaption();
    void FillTabs();
    void UpdateRowCount();
    bool IsInteractive() const;
    // A tab was chosen: its page's rows, the first parameter row current.
    void TabSetChange();
    // The grid's row was chosen: a header row at the top passes the choice to the row below.
    void GridClick();
    // The value list's choice becomes the entry's value, after its question; sent at once in interactive mode.
    void ApplyValue();
    void HelpTopicClick();
    // The configuration database: a picked record becomes the current configuration.
    void DBBtnClick();
    // Compare two configurations.
    void CmpBtnClick();
    // Load a configuration file chosen in the Load configuration dialog.
    void LoadBtnClick();
    // The overflow calculator for the current row's entry, when its values are chosen in the value list; a value
    // chosen there is applied (and, in interactive mode, sent) once, as if picked here.
    void OverBtnClick();
    // The 16-bit value dialog and the string dialog for an entry of the current page.
    void EditLsbMsb(TTplEnt &entry);
    void EditString(TTplEnt &entry);
    // The configuration listing on a printer chosen in the print dialog, or in a text file chosen in the save
    // dialog.
    void PrintConfiguration();
    void PrintToFile();

    // What a cell of the grid shows.
    TGridCell Cell(int col, int row) const;
    // " (n)" after the low byte of a 16-bit pair, n the pair's decimal value; empty for any other entry.
    static std::string LsbMsbSuffix(const TTplEnt &entry);

    int32_t CurrentPage = 0;
    int32_t LastClickedRow = -1;   // row the grid's click handler saw last; -1 since the page was filled
    int32_t ComboRow = -1;         // row whose values the list holds, or whose "..." button shows; -1 none
    bool DownOnCurrentRow = false;
    bool Sending = false;          // a value is being sent to the reader

    QToolButton *LoadBtn, *SaveBtn, *DBBtn, *InfoBtn, *CmpBtn, *OverBtn, *PrintBtn, *HelpBtn;
    TTabRows *TabSet;
    TEditGrid *Grid = nullptr;
    TGridCombo *Combo;
    QMenu *File1, *Print1, *Help1;
    QAction *Open1, *SaveAs1, *Database1, *Info2, *Compare2, *Overflow2, *Printer1, *File2, *Exit1;
    QAction *HelpContents, *HelpSearch, *HelpTopic, *About1;

signals:
    // Space, Enter or a press of the "..." button on the row of a 16-bit pair or of a text character.
    void EditLsbMsbRequested(TTplEnt *entry);
    void EditStringRequested(TTplEnt *entry);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void Unregister();
    // The current page's shown entry in that row; nullptr outside the page.
    TTplEnt *VisibleEntry(int row) const;
    // What the focused value cell of the row shows: the value list, the "..." button, or neither.
    void ShowValueCell(int row);
    // Makes the row current; the grid's click handler runs also when the row stays.
    void MoveGridRow(int row);
    void GridRowChanged();
    void UpdateOverButton();
    void SelectEntryValue(const TTplEnt &entry);
    void SendValue(const TTplEnt &entry);
    void SendPendingValue();
    void FormResize();
    bool GridKeyDown(int key);
    bool GridKeyPress(int key);
    void GridMouseUp(int x);
    void OpenValueDialog(TTplEnt &entry);
    void Maximize();
};

// The window while it is open, else nullptr.
extern TEditForm *EditForm;
