#pragma once
// The Load template dialog: choose a device template file (.TPL) and preview its lines as an outline.

#include <QDialog>

#include <string>

class QPushButton;
class QTreeWidget;
class QWidget;
class TFileBrowser;

class TTplForm : public QDialog {
    Q_OBJECT
public:
    explicit TTplForm(QWidget *owner);

    // Shows the template's lines as an outline, each indented by the kind of line; nothing for a missing file.
    void PreviewFile(const std::string &fileName);

    void ViewBtnClick();
    void OkBtnClick();
    void FileListClick();

    QWidget *Panel1;
    QPushButton *ViewBtn, *OkBtn, *BitBtn1;
    TFileBrowser *Browser;
    QTreeWidget *TplTree;
};

// Runs the dialog in the current directory. The full path of the chosen template, or empty when the user
// cancels.
std::string SelectTemplateFile(QWidget *owner);
