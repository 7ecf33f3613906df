#pragma once
// The Load configuration dialog: choose a configuration file (.cfg) and preview the template name and the records
// it holds. Its size and splitter positions are kept in the program INI.

#include <QDialog>

#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QSplitter;
class QStatusBar;
class QWidget;
class TFileBrowser;

class TLoadCfgForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoadCfgForm(QWidget *owner);
    ~TLoadCfgForm() override;   // keeps the geometry in the INI

    void ViewBtnClick();
    void OkBtnClick();
    void FileListClick();

    QWidget *Panel1, *Panel2, *Panel3, *Panel4, *Panel5, *Panel6;
    QPushButton *ViewBtn, *OkBtn, *CancelBtn;
    QSplitter *Splitter1, *Splitter2;
    TFileBrowser *Browser;
    QLabel *TplLabel;
    QListWidget *CfgList;
    QStatusBar *StatusBar1;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void RestoreSplit();

    bool splitRestored_ = false;
};

// Runs the dialog, starting in the device folder when there is one. The full path of the chosen file, or empty
// when the user cancels.
std::string SelectConfigurationFile(QWidget *owner);
