#pragma once
// The place list, folder list and file list of the file-choosing dialogs. The place list (file system roots,
// the home folder and mounted volumes) stands where the drive list stood; it drives the folder list, which
// drives the file list. Listing is synchronous, and the file mask matches without regard to case.

#include <QObject>
#include <QString>

#include <string>

class QComboBox;
class QListWidget;
class QWidget;

class TFileBrowser : public QObject {
    Q_OBJECT
public:
    // Creates the three lists as children of `parent`, which lays them out; they start in the current directory.
    explicit TFileBrowser(QWidget *parent);

    QComboBox *DriveCombo;
    QListWidget *DirList;
    QListWidget *FileList;

    // Shows the folder; false when it cannot be listed, and the lists then stay as they were.
    bool SetDirectory(const std::string &path);
    std::string Directory() const;
    void SetMask(const std::string &mask);
    // Full path of the file selected in the file list; empty when none is.
    std::string SelectedFile() const;

signals:
    void FileSelected();    // the selection in the file list changed
    void FileActivated();   // a file was double-clicked

private:
    bool ShowDirectory(const QString &dir);
    void FillDrives();
    void SelectDrive();
    void FillFiles();
    void DriveComboChange();
    void DirListActivated();

    QString dir_;
    QString mask_ = "*";
};
