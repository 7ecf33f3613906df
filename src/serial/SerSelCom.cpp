#include "SerSelCom.h"

#include "SerErrno.h"
#include "SerPortMap.h"
#include "SerWin32.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int HighestPort = 50;

} // namespace

TComSelectForm::TComSelectForm(QWidget *parent) : QDialog(parent)
{
    setObjectName("ComSelectForm");
    setWindowTitle("Select Port");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setMinimumSize(220, 131);

    auto *bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setFrameShape(QFrame::StyledPanel);
    auto *bevelLayout = new QVBoxLayout(bevel);
    Label1 = new QLabel("The configured serial port is not valid.", bevel);
    Label1->setObjectName("Label1");
    Label2 = new QLabel("Please choose another port.", bevel);
    Label2->setObjectName("Label2");
    bevelLayout->addWidget(Label1);
    bevelLayout->addWidget(Label2);

    PortsComboBox = new QComboBox(this);
    PortsComboBox->setObjectName("PortsComboBox");
    PortsComboBox->setEditable(false);

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
    layout->addWidget(bevel);
    layout->addWidget(PortsComboBox);
    layout->addLayout(buttons);

    FormCreate();
}

bool TComSelectForm::IsPortAvailable(int comNumber)
{
    if (comNumber == 0)
        return false;
    TSerWin32Dispatcher probe(nullptr);
    const int32_t result = probe.OpenDevice(SerDevicePath(comNumber), 64, 64);
    const uint32_t error = SerLastError();
    const bool present =
        result >= 0 || error == SerError::AccessDenied || error == SerError::PermissionDenied;
    if (result >= 0)
        probe.CloseDevice();
    return present;
}

void TComSelectForm::FormCreate()
{
    for (int n = 1; n <= HighestPort; ++n)
        if (IsPortAvailable(n))
            PortsComboBox->addItem(QString("COM%1").arg(n));
    PortsComboBox->setCurrentIndex(PortsComboBox->count() > 0 ? 0 : -1);
    OkBtn->setEnabled(PortsComboBox->count() > 0);   // OK on an empty list would choose nothing
}

int TComSelectForm::SelectedComNumber() const
{
    if (PortsComboBox->currentIndex() < 0)
        return 0;
    return PortsComboBox->currentText().mid(3, 255).toInt();
}
