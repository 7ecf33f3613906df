#include "Setup.h"

#include "RadioGroup.h"
#include "common/BsTypes.h"
#include "common/Wrn.h"
#include "editor/LoadTemplateDialog.h"
#include "link/ReaderLink.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/DesignSize.h"
#include "platform/qt/ElidedLabel.h"
#include "platform/qt/Guarded.h"
#include "platform/qt/ScreenPlacement.h"
#include "serial/SerPortList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <tuple>
#include <vector>

TSetupForm *SetupForm = nullptr;

namespace {

constexpr std::array<int32_t, 11> kBaudRates {150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QLabel *header(const QString &text)
{
    auto *label = new QLabel(text);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// Puts the user level back when the template has been read for another one.
class TLevelRestore {
public:
    TLevelRestore() : saved_(Settings.Level) {}
    ~TLevelRestore() { Settings.Level = saved_; }
    TLevelRestore(const TLevelRestore &) = delete;
    TLevelRestore &operator=(const TLevelRestore &) = delete;

private:
    int32_t saved_;
};

} // namespace

TSetupForm::TSetupForm(QWidget *owner) : QDialog(owner)
{
    SetupForm = this;
    buildControls();
    FormCreate();
}

TSetupForm::~TSetupForm()
{
    if (SetupForm == this) SetupForm = nullptr;
}

void TSetupForm::buildControls()
{
    setWindowTitle("Setup");

    Header1 = header("Serial port settings");
    PortGroup = new QGroupBox("Port");
    PortCombo = new QComboBox;
    PortCombo->setEditable(true);
    PortCombo->setInsertPolicy(QComboBox::NoInsert);   // typed text never becomes a port of the list
    // The device behind the chosen number, so that an adapter can be told by its name; under the port
    // settings, as wide as the dialog, for the long names of /dev/serial/by-id.
    PortDevice = new TElidedLabel;
    auto *portLayout = new QVBoxLayout(PortGroup);
    portLayout->setContentsMargins(6, 2, 6, 2);
    portLayout->addWidget(PortCombo);
    connect(PortCombo, &QComboBox::currentTextChanged, this, [this] { ShowPortDevice(); });
    QStringList rates;
    for (int32_t rate : kBaudRates) rates << QString::number(rate);
    BaudGrp = new TRadioGroup("Baud rate", rates, 2);
    ParityGrp = new TRadioGroup("Parity", {"None", "Odd", "Even"});
    DataGrp = new TRadioGroup("Data bits", {"7", "8"});
    StopGrp = new TRadioGroup("Stop bits", {"1", "2"});

    Header2 = header("Template");
    DefTplEd = new QLineEdit;
    DefTplEd->setReadOnly(true);
    TplBtn = new QPushButton("Load");
    TplBtn->setToolTip("Load template");

    Header3 = header("Printed page header");
    CustomerEd = new QLineEdit(FromCp1252(Settings.Customer));
    ModelEd = new QLineEdit(FromCp1252(Settings.Model));
    SerNumEd = new QLineEdit(FromCp1252(Settings.SerNum));
    TimeoutLabel = new QLabel;
    TimeoutLabel->setAlignment(Qt::AlignCenter);

    OkBtn = new QPushButton("OK");
    cancelBtn = new QPushButton("Cancel");
    OkBtn->setDefault(true);

    // Kept and stored like the visible controls, but not shown.
    DebugCheck = new QCheckBox("Debug", this);
    LevelGroup = new TRadioGroup("Level", {"Basic", "Advanced"}, 1, this);
    LangGroup = new QGroupBox("Language", this);
    LanguageCombo = new QComboBox;
    (new QVBoxLayout(LangGroup))->addWidget(LanguageCombo);
    for (QWidget *hidden : {static_cast<QWidget *>(DebugCheck), static_cast<QWidget *>(LevelGroup),
                            static_cast<QWidget *>(LangGroup)})
        hidden->hide();

    auto *port = new QGridLayout;
    port->setHorizontalSpacing(3);
    port->setVerticalSpacing(1);
    port->addWidget(PortGroup, 0, 0);
    port->addWidget(BaudGrp, 0, 1, 3, 1);
    port->addWidget(ParityGrp, 1, 0, 2, 1);
    port->addWidget(DataGrp, 0, 2);
    port->addWidget(StopGrp, 1, 2);
    port->addWidget(PortDevice, 3, 0, 1, 3);
    auto *tpl = new QHBoxLayout;
    tpl->addWidget(DefTplEd);
    tpl->addWidget(TplBtn);
    auto *texts = new QGridLayout;
    texts->setVerticalSpacing(2);
    texts->addWidget(new QLabel("Customer Name"), 0, 0);
    texts->addWidget(CustomerEd, 0, 1, 1, 3);
    texts->addWidget(new QLabel("Model Number"), 1, 0);
    texts->addWidget(ModelEd, 1, 1);
    texts->addWidget(new QLabel("Serial Number"), 1, 2);
    texts->addWidget(SerNumEd, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(TimeoutLabel, 1);
    buttons->addWidget(OkBtn);
    buttons->addWidget(cancelBtn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 3, 4, 3);
    layout->setSpacing(1);
    layout->addWidget(Header1);
    layout->addLayout(port);
    layout->addWidget(Header2);
    layout->addLayout(tpl);
    layout->addWidget(Header3);
    layout->addLayout(texts);
    layout->addStretch();   // room the font's growth leaves over
    layout->addLayout(buttons);

    connect(TplBtn, &QPushButton::clicked, this, Guarded([this] { TplBtnClick(); }));
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FixDialogSize(*this, {397, 309});
    CenterOnScreen(*this);
}

void TSetupForm::FormCreate()
{
    const TCVSetup &s = Settings;
    TimeoutLabel->setText("Timeout:" + QString::number(s.DefTimeout));
    // COM1 to MaxPort, then the other ports present, so that an adapter beyond MaxPort can be chosen too.
    std::vector<int32_t> ports;
    for (int32_t n = 1; n <= s.MaxPort; ++n) ports.push_back(n);
    for (int n : SerPresentPorts())
        if (n > s.MaxPort) ports.push_back(n);
    for (int32_t n : ports) {
        PortCombo->addItem("COM" + QString::number(n), n);
        PortCombo->setItemData(PortCombo->count() - 1, QString::fromStdString(SerPortDevice(n)), Qt::ToolTipRole);
    }
    PortCombo->setCurrentIndex(PortCombo->findData(s.Port));
    ShowPortDevice();
    BaudGrp->SetItemIndex(-1);
    for (std::size_t i = 0; i < kBaudRates.size(); ++i)
        if (kBaudRates[i] == s.Baud) BaudGrp->SetItemIndex(int(i));
    ParityGrp->SetItemIndex(s.Parity);
    DataGrp->SetItemIndex(s.Data - 7);
    StopGrp->SetItemIndex(s.Stop - 1);
    DefTplEd->setText(FromCp1252(UpperCase(s.DefTpl)));
    DebugCheck->setChecked(s.Debug);
    int language = -1;
    for (std::size_t i = 0; i < s.LanguageList.size(); ++i) {
        LanguageCombo->addItem(FromCp1252(StrBefore(s.LanguageList[i], "=")));
        if (StrAfter(s.LanguageList[i], "=") == s.Language.str()) language = int(i);
    }
    LanguageCombo->setCurrentIndex(language);
    LevelGroup->SetItemIndex(s.Level == 1 ? 0 : 1);
}

int TSetupForm::PortNumber() const
{
    const int index = PortCombo->findText(PortCombo->currentText());
    return index < 0 ? 0 : PortCombo->itemData(index).toInt();
}

void TSetupForm::ShowPortDevice()
{
    const int index = PortCombo->findText(PortCombo->currentText());
    const QString device = index < 0 ? QString() : PortCombo->itemData(index, Qt::ToolTipRole).toString();
    PortDevice->setFullText(device);
}

void TSetupForm::TakeLevel() const
{
    if (LevelGroup->ItemIndex() == 0) Settings.Level = 1;
    if (LevelGroup->ItemIndex() == 1) Settings.Level = 99;
}

void TSetupForm::done(int result)
{
    if (result == QDialog::Accepted) ReportErrors([this] { FormClose(); });
    QDialog::done(result);
}

void TSetupForm::FormClose()
{
    TCVSetup &s = Settings;
    const auto port = std::tuple(s.Port, s.Baud, s.Parity, s.Data, s.Stop);
    s.Port = PortNumber();   // 0: the port asks for a port when it is opened
    if (BaudGrp->ItemIndex() >= 0) s.Baud = kBaudRates[std::size_t(BaudGrp->ItemIndex())];
    s.Parity = ParityGrp->ItemIndex();
    s.Data = DataGrp->ItemIndex() + 7;
    s.Stop = StopGrp->ItemIndex() + 1;
    s.DefTpl = UpperCase(ToCp1252(DefTplEd->text()));
    // A line edit keeps the line end of a pasted text: the header texts are kept on one line, as the INI holds them.
    s.Customer = OneLine(ToCp1252(CustomerEd->text()));
    s.Model = OneLine(ToCp1252(ModelEd->text()));
    s.SerNum = OneLine(ToCp1252(SerNumEd->text()));
    s.Debug = DebugCheck->isChecked();
    if (const int language = LanguageCombo->currentIndex(); language >= 0) {
        const std::string letter = StrAfter(s.LanguageList[std::size_t(language)], "=");
        s.Language = letter.empty() ? std::string("_") : letter;   // an empty letter means no language
    }
    TakeLevel();
    SaveSettings();
    if (std::tuple(s.Port, s.Baud, s.Parity, s.Data, s.Stop) != port && AskYesNo("Update device control?"))
        CommDM->ApplyPortSettings();
}

void TSetupForm::TplBtnClick()
{
    const std::string file = SelectTemplateFile(this);
    if (file.empty()) return;
    // The template is read for the level chosen here; the user's level stays.
    TLevelRestore level;
    TakeLevel();
    Settings.DefTpl = UpperCase(ExtractFileName(file));
    Settings.DevPath = ExtractFilePath(file);   // as the folder is named: paths are case-sensitive here
    DefTplEd->setText(FromCp1252(Settings.DefTpl));
    Template->LoadFromFile(Settings.DefTpl);
    if (CommDM->HasEditView())
        CommDM->RefreshEditView();
    else if (OnTemplateLoaded)
        OnTemplateLoaded(this);
    Template->ShowInfo();
}
