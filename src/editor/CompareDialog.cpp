#include "CompareDialog.h"

#include "DatabaseWindow.h"
#include "LoadConfigDialog.h"
#include "DialogLayout.h"
#include "XGrid.h"
#include "common/Wrn.h"
#include "link/ReaderLink.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr std::size_t kLabelMax = 30;

// One source command of both sides: its buttons, menu items, glyph, hints and handler.
struct SideCommand {
    QToolButton *TCompForm::*button[2];
    QAction *TCompForm::*item[2];
    QStyle::StandardPixmap glyph;
    const char *hint[2];
    const char *caption;
    void (TCompForm::*handler)(int side);
};

const SideCommand kSideCommands[] = {
    {{&TCompForm::CurBtn1, &TCompForm::CurBtn2}, {&TCompForm::CurItem1, &TCompForm::CurItem2}, QStyle::SP_ComputerIcon,
     {"Current configuration", "Current Configuration"}, "&Current", &TCompForm::CurBtnClick},
    {{&TCompForm::DefBtn1, &TCompForm::DefBtn2}, {&TCompForm::DefItem1, &TCompForm::DefItem2}, QStyle::SP_FileIcon,
     {"Default configuration", "Default configuration"}, "D&efault", &TCompForm::DefBtnClick},
    {{&TCompForm::LoadBtn1, &TCompForm::LoadBtn2}, {&TCompForm::LoadItem1, &TCompForm::LoadItem2},
     QStyle::SP_DialogOpenButton, {"Load configuration", "Load configuration"}, "Load from &file", &TCompForm::LoadBtnClick},
    {{&TCompForm::DBBtn1, &TCompForm::DBBtn2}, {&TCompForm::DBItem1, &TCompForm::DBItem2}, QStyle::SP_DriveHDIcon,
     {"Get configuration from database", "Get configuration from database"}, "Load from &DB", &TCompForm::DBBtnClick},
    {{&TCompForm::GetBtn1, &TCompForm::GetBtn2}, {&TCompForm::GetItem1, &TCompForm::GetItem2}, QStyle::SP_DriveNetIcon,
     {"Get configuration from device", "Get configuration from device"}, "&Get from Device", &TCompForm::GetBtnClick},
    {{&TCompForm::ClearBtn1, &TCompForm::ClearBtn2}, {&TCompForm::ClearItem1, &TCompForm::ClearItem2},
     QStyle::SP_DialogResetButton, {"Clear configuration", "Clear configuration"}, "C&lear", &TCompForm::ClearBtnClick},
};

} // namespace

TCompForm::TCompForm(QWidget *owner) : QDialog(owner), OwnTemplate(std::make_unique<TTemplate>(TemplateScope::Private))
{
    setWindowTitle("Compare configurations");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    buildControls();

    // The current template, from the folder the program's template was read from; without a template the dialog
    // has no rows.
    OwnTemplate->LoadFromFile(Settings.DefTpl, Template && !Template->IsEmpty() ? Template->Folder : Settings.DevPath);
    for (int p = 0; p < OwnTemplate->PageCount(); ++p) {
        const TTplPag &page = OwnTemplate->Pages(p);
        Labels.push_back("0" + page.Name.str());
        for (int i = 0; i < page.Count(); ++i) {
            const TTplEnt &entry = page.Entries(i);
            Labels.push_back((entry.Kind == trHdr ? "1" : "2") + entry.Name.str());
        }
    }
    Grid->SetRowCount(int(Labels.size()) + 1);
    FixDialogSize(*this, {578, 290});
    CenterOnScreen(*this);
}

TCompForm::~TCompForm() = default;

void TCompForm::buildControls()
{
    MainMenu1 = new QMenuBar(this);
    LeftMenu = MainMenu1->addMenu("&Left Configuration");
    RightMenu = MainMenu1->addMenu("&Right Configuration");
    ExitMenu = MainMenu1->addAction("E&xit");

    auto *panel = new QWidget(this);
    panel->setFixedHeight(37);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(0);
    for (const int side : {LeftSide, RightSide}) {
        QMenu *menu = side == LeftSide ? LeftMenu : RightMenu;
        for (const SideCommand &command : kSideCommands) {
            QToolButton *button = MakeGlyphButton(panel, command.glyph, command.hint[side - 1]);
            QAction *item = menu->addAction(command.caption);
            this->*command.button[side - 1] = button;
            this->*command.item[side - 1] = item;
            row->addWidget(button);
            const auto run = Guarded([this, handler = command.handler, side] { (this->*handler)(side); });
            connect(button, &QToolButton::clicked, this, run);
            connect(item, &QAction::triggered, this, run);
        }
        row->addSpacing(8);
    }
    ExitBtn = MakeGlyphButton(panel, QStyle::SP_DialogCloseButton, "Exit");
    row->addWidget(ExitBtn);
    row->addStretch();

    Grid = new TExtGrid(this);
    Grid->SetColCount(3);
    Grid->SetHeaders({"Configurations", "None", "None"});
    Grid->OnGetCell = [this](TExtGrid &, int col, int row, std::string &text) { GridGetCell(col, row, text); };

    Footer = new QLabel(this);
    Footer->setFixedHeight(21);
    Footer->setAlignment(Qt::AlignCenter);
    Footer->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(panel);
    layout->addWidget(Grid, 1);
    layout->addWidget(Footer);

    connect(ExitBtn, &QToolButton::clicked, this, &QDialog::reject);
    connect(ExitMenu, &QAction::triggered, this, Guarded([this] { ExitMenuClick(); }));
}

void TCompForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    const int w = Grid->viewport()->width();
    Grid->SetColWidth(1, w / 3);
    Grid->SetColWidth(2, w / 3);
    Grid->SetColWidth(0, w - (w / 3) * 2 - 2);
}

void TCompForm::GridGetCell(int col, int row, std::string &text)
{
    TExtGrid::TCanvasFont &font = Grid->CanvasFont();
    font.Bold = false;
    font.Color = row == Grid->Row() ? Qt::white : Qt::black;
    const std::size_t i = std::size_t(row - 1);
    if (!LeftValues.empty() && !RightValues.empty() &&
        (i >= LeftValues.size() || i >= RightValues.size() || LeftValues[i] != RightValues[i]))
        font.Color = Qt::red;

    if (col == 1 || col == 2) {
        const std::vector<std::string> &values = Values(col);
        if (i < values.size()) text = values[i];
        return;
    }
    if (col != 0 || i >= Labels.size()) return;
    const std::string label = Labels[i].empty() ? std::string(1, '0') : Cut(Labels[i], kLabelMax);
    const std::string name = label.substr(1);
    switch (label[0]) {
    case '0':
        font.Bold = true;
        text = name;
        break;
    case '1':
        font.Bold = true;
        text = Cut(std::string(2, ' ').append(name), kLabelMax);
        break;
    case '2':
        text = Cut(std::string("    -").append(name), kLabelMax);
        break;
    default:
        break;
    }
}

void TCompForm::FillSide(int side, std::string_view title)
{
    const std::string current = Template ? Template->FileName : std::string();
    if (OwnTemplate->FileName != current &&
        !AskYesNo(std::string("The template is different") + "\r" + "from the current one!" + "\r" + "Continue anyway?"))
        return;
    Grid->SetHeaderLine(side, Cut(title, kLabelMax));
    std::vector<std::string> &values = Values(side);
    values.clear();
    for (int p = 0; p < OwnTemplate->PageCount(); ++p) {
        const TTplPag &page = OwnTemplate->Pages(p);
        values.emplace_back();
        for (int i = 0; i < page.Count(); ++i) {
            const TTplEnt &entry = page.Entries(i);
            values.push_back(entry.Kind == trHdr ? std::string() : entry.ValueText.str());
        }
    }
    Grid->Invalidate();
    const int n = CountDifferences();
    Footer->setText(n == -1 ? QString() : QString::number(n) + " differences detected");
}

int TCompForm::CountDifferences() const
{
    if (LeftValues.empty() || RightValues.empty()) return -1;
    int n = 0;
    for (std::size_t i = 0; i < Labels.size(); ++i)
        if (i >= LeftValues.size() || i >= RightValues.size() || LeftValues[i] != RightValues[i]) ++n;
    return n;
}

void TCompForm::DefBtnClick(int side)
{
    // Reading the template file again gives the values its lines hold.
    if (!OwnTemplate->Reload()) return ShowWarning("Template " + ExtractFileName(OwnTemplate->FileName) + " not found!");
    FillSide(side, "DEFAULT");
}

void TCompForm::CurBtnClick(int side)
{
    OwnTemplate->ApplyConfiguration(Template ? Template->GetConfiguration() : ConfigRecords {});
    FillSide(side, "CURRENT");
}

void TCompForm::LoadBtnClick(int side)
{
    const std::string file = SelectConfigurationFile(this);
    if (file.empty()) return;
    OwnTemplate->LoadConfiguration(file);
    FillSide(side, UpperCase(ExtractFileName(file)));
}

void TCompForm::DBBtnClick(int side)
{
    TDBForm form(this, *OwnTemplate);
    if (form.exec() != QDialog::Accepted) return;
    OwnTemplate->ApplyConfiguration(form.Commands);
    FillSide(side, form.RecordTitle.str());
    update();
}

void TCompForm::GetBtnClick(int side)
{
    if (!CommDM || !CommDM->Connected) return ShowWarning("Device not connected!");
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();
    if (!CommDM->EnterHostMode()) return ShowWarning("Connection failed!");
    bool ok = false;
    try {
        ConfigRecords list;
        ok = CommDM->ReadConfig(list);
        if (ok) {
            OwnTemplate->ApplyConfiguration(list);
            FillSide(side, "DEVICE");
        } else {
            ShowWarning("Transfer failed!");
        }
    } catch (...) {
        CommDM->LeaveHostModeAfterError();
        throw;
    }
    CommDM->ExitHostMode();
    CommDM->ShowStatus(ok ? "Configuration received" : "Transfer failed!");
}

void TCompForm::ClearBtnClick(int side)
{
    Values(side).clear();
    Grid->SetHeaderLine(side, "");
    Grid->Invalidate();
}

void TCompForm::ExitMenuClick() { accept(); }
