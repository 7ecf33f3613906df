#pragma once
// The compare dialog: two configurations side by side, row by row over the pages and entries of the current
// template, rows with differing values in red. Each side comes from the template's defaults, the current
// configuration, a configuration file, a database record or the connected reader, loaded into a template of the
// dialog's own, so the program's template stays as it is.

#include <QDialog>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QToolButton;
class TExtGrid;
class TTemplate;

class TCompForm : public QDialog {
public:
    enum : int { LeftSide = 1, RightSide = 2 };

    explicit TCompForm(QWidget *owner);
    ~TCompForm() override;

    QMenuBar *MainMenu1;
    QMenu *LeftMenu;
    QMenu *RightMenu;
    QAction *CurItem1, *DefItem1, *LoadItem1, *DBItem1, *GetItem1, *ClearItem1;
    QAction *CurItem2, *DefItem2, *LoadItem2, *DBItem2, *GetItem2, *ClearItem2;
    QAction *ExitMenu;
    QToolButton *CurBtn1, *DefBtn1, *LoadBtn1, *DBBtn1, *GetBtn1, *ClearBtn1;
    QToolButton *CurBtn2, *DefBtn2, *LoadBtn2, *DBBtn2, *GetBtn2, *ClearBtn2;
    QToolButton *ExitBtn;
    TExtGrid *Grid;
    QLabel *Footer;

    // The sources of a side (LeftSide or RightSide).
    void DefBtnClick(int side);
    void CurBtnClick(int side);
    void LoadBtnClick(int side);
    void DBBtnClick(int side);
    void GetBtnClick(int side);
    void ClearBtnClick(int side);
    void ExitMenuClick();

    // Shows the dialog's template as the side's values under the title, after a question when it is another
    // template than the program's.
    void FillSide(int side, std::string_view title);
    // Rows whose values differ; -1 while a side is not loaded.
    int CountDifferences() const;

    TTemplate &Own() { return *OwnTemplate; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void GridGetCell(int col, int row, std::string &text);
    std::vector<std::string> &Values(int side) { return side == LeftSide ? LeftValues : RightValues; }

    std::unique_ptr<TTemplate> OwnTemplate;
    std::vector<std::string> Labels;   // a kind digit ("0" page, "1" group header, "2" parameter) and a name
    std::vector<std::string> LeftValues;
    std::vector<std::string> RightValues;
};
