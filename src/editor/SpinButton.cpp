#include "SpinButton.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *arrowButton(Qt::ArrowType arrow, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setFixedSize(16, 11);
    return b;
}

} // namespace

TSpinButton::TSpinButton(QWidget *parent)
    : QWidget(parent), UpButton(arrowButton(Qt::UpArrow, this)), DownButton(arrowButton(Qt::DownArrow, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(UpButton);
    layout->addWidget(DownButton);
    connect(UpButton, &QToolButton::clicked, this, &TSpinButton::UpClick);
    connect(DownButton, &QToolButton::clicked, this, &TSpinButton::DownClick);
}
