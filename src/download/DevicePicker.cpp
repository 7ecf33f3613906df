#include "DevicePicker.h"

#include "platform/qt/DesignSize.h"
#include "platform/qt/ScreenPlacement.h"
#include "TarselSettings.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TDevForm::TDevForm(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle("Select a device");
    ListBox = new QListWidget;
    ListBox->setFixedSize(ScaledToFont(QSize(149, 129), *ListBox));
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->viewport()->installEventFilter(this);
    OkBtn = new QPushButton("OK");
    OkBtn->setDefault(true);
    BitBtn1 = new QPushButton("Cancel");
    ShrinkableToText(*OkBtn);
    ShrinkableToText(*BitBtn1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(OkBtn);
    buttons->addWidget(BitBtn1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(ListBox);
    layout->addLayout(buttons);
    FixDialogSize(*this, {157, 174});
    CenterOnScreen(*this);
    connect(OkBtn, &QPushButton::clicked, this, Guarded([this] { OkBtnClick(); }));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
    // One device stays chosen: a click beside the entries or a Ctrl+click on the chosen one does not empty the list.
    connect(ListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (ListBox->selectedItems().isEmpty() && ListBox->currentItem())
            ListBox->currentItem()->setSelected(true);
    });
}

void TDevForm::FormCreate()
{
    for (const std::string &device : ReadDeviceNames())
        ListBox->addItem(FromCp1252(device));
    if (ListBox->count() > 0)
        ListBox->setCurrentRow(0);
}

void TDevForm::OkBtnClick()
{
    if (const QListWidgetItem *item = ListBox->currentItem(); item && item->isSelected())
        SelectedDevice = ToCp1252(item->text());
    accept();
}

bool TDevForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        ReportErrors([this] { OkBtnClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

std::string PickDevice(QWidget *owner)
{
    TDevForm form(owner);
    return form.exec() == QDialog::Accepted ? form.SelectedDevice.str() : std::string();
}
