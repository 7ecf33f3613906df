#include "SerPortSelectDialog.h"

#include "SerPortList.h"
#include "platform/qt/DesignSize.h"
#include "platform/qt/ScreenPlacement.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TComSelectForm::TComSelectForm(QWidget *parent) : QDialog(parent)
{
    setObjectName("ComSelectForm");
    setWindowTitle("Select Port");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto *bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setFrameShape(QFrame::StyledPanel);
    auto *bevelLayout = new QVBoxLayout(bevel);
    bevelLayout->setContentsMargins(4, 3, 4, 3);
    bevelLayout->setSpacing(2);
    Label1 = new QLabel("The configured serial port is not valid.", bevel);
    Label1->setObjectName("Label1");
    Label2 = new QLabel("Please choose another port.", bevel);
    Label2->setObjectName("Label2");
    bevelLayout->addWidget(Label1);
    bevelLayout->addWidget(Label2);

    PortsComboBox = new QComboBox(this);
    PortsComboBox->setObjectName("PortsComboBox");
    PortsComboBox->setEditable(false);
    // The device behind the chosen number: a number alone does not tell which adapter it is.
    DeviceLabel = new QLabel(this);
    DeviceLabel->setObjectName("DeviceLabel");
    DeviceLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(PortsComboBox, &QComboBox::currentIndexChanged, this, [this] { ShowDevice(); });

    OkBtn = new QPushButton("OK", this);
    OkBtn->setObjectName("OkBtn");
    OkBtn->setDefault(true);
    AbortBtn = new QPushButton("Cancel", this);
    AbortBtn->setObjectName("AbortBtn");
    connect(OkBtn, &QPushButton::clicked, this, [this] { done(SelectedComNumber() > 0 ? ResultOk : ResultAbort); });
    connect(AbortBtn, &QPushButton::clicked, this, [this] { done(ResultAbort); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(OkBtn);
    buttons->addStretch();
    buttons->addWidget(AbortBtn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(bevel);
    layout->addWidget(PortsComboBox);
    layout->addWidget(DeviceLabel);
    layout->addLayout(buttons);

    FormCreate();
    FixDialogSize(*this, {220, 131});
    CenterOnScreen(*this);
}

bool TComSelectForm::IsPortAvailable(int comNumber)
{
    return SerPortPresent(comNumber);
}

void TComSelectForm::FormCreate()
{
    for (int n = 1; n <= HighestPortNumber; ++n)
        if (IsPortAvailable(n)) {
            PortsComboBox->addItem(QString("COM%1").arg(n));
            PortsComboBox->setItemData(PortsComboBox->count() - 1, QString::fromStdString(SerPortDevice(n)),
                                       Qt::ToolTipRole);
        }
    PortsComboBox->setCurrentIndex(PortsComboBox->count() > 0 ? 0 : -1);
    OkBtn->setEnabled(PortsComboBox->count() > 0);   // OK on an empty list would choose nothing
    ShowDevice();
}

void TComSelectForm::ShowDevice()
{
    const QString device = PortsComboBox->currentData(Qt::ToolTipRole).toString();
    DeviceLabel->setText(device);
    DeviceLabel->setToolTip(device);
}

int TComSelectForm::SelectedComNumber() const
{
    if (PortsComboBox->currentIndex() < 0)
        return 0;
    return PortsComboBox->currentText().mid(3, 255).toInt();
}
