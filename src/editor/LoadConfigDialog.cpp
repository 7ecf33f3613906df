#include "LoadConfigDialog.h"

#include "FileBrowser.h"
#include "UiGuards.h"
#include "common/ByteDisplay.h"
#include "model/CfgFile.h"
#include "model/Settings.h"
#include "platform/ErrorReport.h"
#include "platform/FileContents.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace {

QVBoxLayout *columnLayout(QWidget *w)
{
    auto *layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

} // namespace

TLoadCfgForm::TLoadCfgForm(QWidget *owner) : QDialog(owner)
{
    setWindowTitle("Load configuration");
    resize(441, 373);
    auto *layout = columnLayout(this);

    Panel1 = new QWidget;
    Panel1->setFixedHeight(37);
    ViewBtn = new QPushButton(QApplication::style()->standardIcon(QStyle::SP_FileDialogContentsView), "Preview");
    ViewBtn->setToolTip("Preview Configuration");
    OkBtn = new QPushButton("Ok");
    CancelBtn = new QPushButton("Cancel");
    auto *top = new QHBoxLayout(Panel1);
    top->setContentsMargins(4, 0, 12, 0);   // Cancel 12 pixels from the right edge, Ok 3 pixels before it
    top->setSpacing(3);
    top->addWidget(ViewBtn);
    top->addStretch();
    top->addWidget(OkBtn);
    top->addWidget(CancelBtn);

    Browser = new TFileBrowser(this);
    Browser->SetMask("*.cfg");
    Splitter1 = new QSplitter(Qt::Horizontal);
    Panel2 = new QWidget;
    Splitter2 = new QSplitter(Qt::Vertical, Panel2);
    columnLayout(Panel2)->addWidget(Splitter2);
    Panel3 = new QWidget;
    QVBoxLayout *lists = columnLayout(Panel3);
    lists->addWidget(Browser->DriveCombo);
    lists->addWidget(Browser->DirList);
    Panel5 = new QWidget;
    columnLayout(Panel5)->addWidget(Browser->FileList);
    Splitter2->addWidget(Panel3);
    Splitter2->addWidget(Panel5);
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);

    Panel4 = new QWidget;
    Panel6 = new QWidget;
    TplLabel = new QLabel("Template:");
    columnLayout(Panel6)->addWidget(TplLabel);
    CfgList = new QListWidget;
    QVBoxLayout *preview = columnLayout(Panel4);
    preview->addWidget(Panel6);
    preview->addWidget(CfgList);
    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(Panel4);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({180, 261});
    Splitter2->setSizes({145, 190});

    StatusBar1 = new QStatusBar;
    StatusBar1->setSizeGripEnabled(false);
    layout->addWidget(Panel1);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(StatusBar1);
    // Enter is Ok wherever the focus stands; the default button counts only once it stands in its dialog.
    ViewBtn->setAutoDefault(false);
    OkBtn->setDefault(true);

    connect(ViewBtn, &QPushButton::clicked, this, Guarded([this] { ViewBtnClick(); }));
    connect(OkBtn, &QPushButton::clicked, this, Guarded([this] { OkBtnClick(); }));
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(Browser, &TFileBrowser::FileSelected, this, Guarded([this] { FileListClick(); }));
    connect(Browser, &TFileBrowser::FileActivated, this, Guarded([this] { OkBtnClick(); }));

    FormCreate();
}

TLoadCfgForm::~TLoadCfgForm()
{
    ReportErrors([this] { FormDestroy(); });
}

void TLoadCfgForm::FormCreate() { RestoreFormBounds(*this, Settings.LoadCfgBounds); }

void TLoadCfgForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!splitRestored_) {
        splitRestored_ = true;
        RestoreSplit();
    }
}

void TLoadCfgForm::RestoreSplit()
{
    // The splitters share their length between the two sides; the stored side gets its stored size.
    auto restore = [](QSplitter *splitter, int32_t size) {
        if (size <= 0) return;
        const QList<int> sizes = splitter->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        splitter->setSizes({size, std::max(0, total - size)});
    };
    restore(Splitter2, Settings.LoadCfgSplit[1]);
    restore(Splitter1, Settings.LoadCfgSplit[0]);
}

void TLoadCfgForm::FormDestroy()
{
    SaveFormBounds(*this, Settings.LoadCfgBounds);
    Settings.LoadCfgSplit = {Panel2->width(), Panel3->height()};
    SaveSettings();
}

void TLoadCfgForm::FileListClick()
{
    CfgList->clear();
    TplLabel->setText("Template:");
}

void TLoadCfgForm::OkBtnClick()
{
    if (!Browser->SelectedFile().empty()) accept();
}

void TLoadCfgForm::ViewBtnClick()
{
    const std::string path = Browser->SelectedFile();
    if (path.empty()) return;
    TWaitCursor cursor;
    const std::optional<std::string> bytes = ReadFileContents(path);
    if (!bytes) throw std::runtime_error("Unable to read " + path);
    CfgList->clear();
    TUpdateLock painting(CfgList);

    // The template name, then one record of code bytes and value byte per line; a file that ends inside either
    // keeps what was shown before the end and reports the error.
    const std::string readPastEnd = "Read beyond end of file " + path;
    if (bytes->size() < kCfgNameSize) throw std::runtime_error(readPastEnd);
    TplLabel->setText(FromCp1252("Template: " + Cut(Trim(bytes->substr(0, kCfgNameSize)), 80)));
    std::size_t at = kCfgNameSize;
    for (; at + kCfgRecordSize <= bytes->size(); at += kCfgRecordSize)
        CfgList->addItem(FromCp1252(BytesToDisplay(bytes->substr(at, kCfgRecordSize), "<Space>")));
    if (at < bytes->size()) throw std::runtime_error(readPastEnd);
}

std::string SelectConfigurationFile(QWidget *owner)
{
    TLoadCfgForm form(owner);
    // A device folder that cannot be listed leaves the lists where they were.
    if (!Settings.DevPath.empty()) form.Browser->SetDirectory(ResolveCaseInsensitive(Settings.DevPath));
    return form.exec() == QDialog::Accepted ? form.Browser->SelectedFile() : std::string();
}
