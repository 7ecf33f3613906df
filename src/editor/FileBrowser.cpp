#include "FileBrowser.h"

#include "platform/qt/FileNameText.h"
#include "platform/qt/Guarded.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QStorageInfo>

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

TFileBrowser::TFileBrowser(QWidget *parent)
    : QObject(parent), DriveCombo(new QComboBox(parent)), DirList(new QListWidget(parent)),
      FileList(new QListWidget(parent))
{
    FileList->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long mount paths must not widen the lists' side of the dialog.
    DriveCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    DriveCombo->setMinimumContentsLength(8);
    FillDrives();
    ShowDirectory(QDir::currentPath());

    connect(DriveCombo, &QComboBox::activated, this, Guarded([this] { DriveComboChange(); }));
    connect(DirList, &QListWidget::itemActivated, this, Guarded([this] { DirListActivated(); }));
    connect(FileList, &QListWidget::itemSelectionChanged, this, &TFileBrowser::FileSelected);
    connect(FileList, &QListWidget::itemDoubleClicked, this, &TFileBrowser::FileActivated);
}

bool TFileBrowser::SetDirectory(const std::string &path) { return ShowDirectory(FromFileName(path)); }

std::string TFileBrowser::Directory() const { return ToFileName(dir_); }

void TFileBrowser::SetMask(const std::string &mask)
{
    mask_ = QString::fromStdString(mask);
    FillFiles();
}

std::string TFileBrowser::SelectedFile() const
{
    const QList<QListWidgetItem *> selected = FileList->selectedItems();
    if (selected.isEmpty()) return {};
    return ToFileName(QDir(dir_).filePath(selected.first()->text()));
}

bool TFileBrowser::ShowDirectory(const QString &dir)
{
    const QFileInfo info(dir);
    if (dir.isEmpty() || !info.isDir() || !info.isReadable() || !info.isExecutable()) return false;
    dir_ = QDir::cleanPath(info.absoluteFilePath());

    // The folder's ancestors from the root down, each indented one step more, then its subfolders.
    DirList->clear();
    QStringList parts = dir_.split('/', Qt::SkipEmptyParts);
    QString path = "/";
    auto addFolder = [this](const QString &text, const QString &folder, int depth) {
        auto *item = new QListWidgetItem(QString(depth * 2, ' ') + text, DirList);
        item->setData(kPathRole, folder);
        return item;
    };
    QListWidgetItem *current = addFolder("/", path, 0);
    for (int i = 0; i < parts.size(); ++i) {
        path = QDir(path).filePath(parts[i]);
        current = addFolder(parts[i], path, i + 1);
    }
    QFont bold = current->font();
    bold.setBold(true);
    current->setFont(bold);
    const QStringList subfolders = QDir(dir_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &sub : subfolders) addFolder(sub, QDir(dir_).filePath(sub), int(parts.size()) + 1);
    DirList->setCurrentItem(current);

    SelectDrive();
    FillFiles();
    return true;
}

void TFileBrowser::FillDrives()
{
    QStringList roots {"/", QDir::homePath()};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())) roots << volume.rootPath();
    for (const QString &root : roots) DriveCombo->addItem(root, root);
}

void TFileBrowser::SelectDrive()
{
    // The place that holds the folder most closely.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < DriveCombo->count(); ++i) {
        const QString root = DriveCombo->itemData(i, kPathRole).toString();
        const bool holds = dir_ == root || dir_.startsWith(root.endsWith('/') ? root : root + '/');
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    DriveCombo->setCurrentIndex(best);
}

void TFileBrowser::FillFiles()
{
    FileList->clear();
    QDir dir(dir_);
    dir.setNameFilters({mask_});
    FileList->addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void TFileBrowser::DriveComboChange()
{
    if (!ShowDirectory(DriveCombo->currentData(kPathRole).toString())) SelectDrive();
}

void TFileBrowser::DirListActivated()
{
    const QListWidgetItem *item = DirList->currentItem();
    if (!item) return;
    const QString folder = item->data(kPathRole).toString();
    if (folder != dir_) ShowDirectory(folder);
}
