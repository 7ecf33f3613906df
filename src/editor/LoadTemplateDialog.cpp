#include "LoadTemplateDialog.h"

#include "DialogLayout.h"
#include "FileBrowser.h"
#include "UiGuards.h"
#include "common/BsTypes.h"
#include "model/LocalizedNames.h"
#include "model/ParseHelpers.h"
#include "platform/FileContents.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <optional>
#include <stdexcept>
#include <vector>

namespace {

// Outline rows of the template dialog's design height.
class TRowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 18};
    }
};

// The blanks before a line of the outline, by its tag: its depth in the outline. Value and definition lines
// stand deeper from the first STR line on. Nothing for lines the preview does not show.
std::optional<std::string> OutlineIndent(const std::string &tag, std::string &valueIndent, std::string &defIndent)
{
    if (tag == "DIC") return "";
    if (tag == "STR") {
        valueIndent = "    ";
        defIndent = "    ";
        return "";
    }
    if (tag == "PAG") return " ";
    if (tag == "HDR") return "  ";
    if (tag == "ENT") return "   ";
    if (tag == "VAL" || tag == "HEX" || tag == "NUM" || tag == "CHR") return valueIndent;
    if (tag == "DEF") return defIndent;
    return std::nullopt;
}

} // namespace

TTplForm::TTplForm(QWidget *owner) : QDialog(owner)
{
    setWindowTitle("Load template");

    Panel1 = new QWidget;
    Panel1->setFixedHeight(37);
    ViewBtn = new QPushButton("Preview");
    ViewBtn->setToolTip("Preview Template");
    OkBtn = new QPushButton("Ok");
    BitBtn1 = new QPushButton("Cancel");
    auto *top = new QHBoxLayout(Panel1);
    top->setContentsMargins(4, 0, 4, 0);
    top->addWidget(ViewBtn);
    top->addStretch();
    top->addWidget(OkBtn);
    top->addWidget(BitBtn1);

    Browser = new TFileBrowser(this);
    for (QWidget *list : {static_cast<QWidget *>(Browser->DriveCombo), static_cast<QWidget *>(Browser->DirList),
                          static_cast<QWidget *>(Browser->FileList)})
        list->setFixedWidth(145);
    TplTree = new QTreeWidget;
    TplTree->setHeaderHidden(true);
    TplTree->setRootIsDecorated(true);
    TplTree->setItemDelegate(new TRowHeightDelegate(TplTree));
    // Whole lines, with a horizontal scroll bar for the long ones.
    TplTree->setTextElideMode(Qt::ElideNone);
    TplTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TplTree->header()->setStretchLastSection(false);

    auto *layout = new QGridLayout(this);
    layout->addWidget(Panel1, 0, 0, 1, 2);
    layout->addWidget(Browser->DriveCombo, 1, 0);
    layout->addWidget(Browser->DirList, 2, 0);
    layout->addWidget(Browser->FileList, 3, 0);
    layout->addWidget(TplTree, 1, 1, 3, 1);
    // Enter is Ok wherever the focus stands; the default button counts only once it stands in its dialog.
    ViewBtn->setAutoDefault(false);
    OkBtn->setDefault(true);
    setFixedSize(484, 272);
    CenterOnScreen(*this);

    connect(ViewBtn, &QPushButton::clicked, this, Guarded([this] { ViewBtnClick(); }));
    connect(OkBtn, &QPushButton::clicked, this, Guarded([this] { OkBtnClick(); }));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(Browser, &TFileBrowser::FileSelected, this, Guarded([this] { FileListClick(); }));
    connect(Browser, &TFileBrowser::FileActivated, this, Guarded([this] { OkBtnClick(); }));
}

void TTplForm::FileListClick() { TplTree->clear(); }

void TTplForm::OkBtnClick()
{
    if (!Browser->SelectedFile().empty()) accept();
}

void TTplForm::ViewBtnClick()
{
    TWaitCursor cursor;
    const std::string path = Browser->SelectedFile();
    if (!path.empty()) PreviewFile(path);
}

void TTplForm::PreviewFile(const std::string &fileName)
{
    if (!FileExistsCi(fileName)) return;
    const std::string resolved = ResolveCaseInsensitive(fileName);
    const std::optional<std::string> text = ReadFileContents(resolved);
    if (!text) throw std::runtime_error("Unable to read " + resolved);

    TUpdateLock painting(TplTree);
    TplTree->clear();
    std::string valueIndent = "  ", defIndent = " ";
    // Each line goes under the closest line above it that stands less deep.
    std::vector<std::pair<std::size_t, QTreeWidgetItem *>> parents;
    ForEachLine(*text, [&](const std::string &raw) {
        const std::string line = Trim(StrBefore(raw, ";"));
        if (line.empty()) return;
        const std::optional<std::string> indent = OutlineIndent(LineTag(line), valueIndent, defIndent);
        if (!indent) return;
        const std::size_t depth = indent->size();
        while (!parents.empty() && parents.back().first >= depth) parents.pop_back();
        auto *item = parents.empty() ? new QTreeWidgetItem(TplTree) : new QTreeWidgetItem(parents.back().second);
        item->setText(0, FromCp1252(line));
        parents.emplace_back(depth, item);
    });
}

std::string SelectTemplateFile(QWidget *owner)
{
    TTplForm form(owner);
    std::string mask = "*.TPL";
    FileNameHook(mask);
    form.Browser->SetMask(mask);
    return form.exec() == QDialog::Accepted ? form.Browser->SelectedFile() : std::string();
}
