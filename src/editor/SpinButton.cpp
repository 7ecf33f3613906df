#include "SpinButton.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *arrowButton(Qt::ArrowType arrow, const QString &name, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setFixedSize(16, 11);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAccessibleName(name);
    return b;
}

} // namespace

TSpinButton::TSpinButton(QWidget *edit, QWidget *parent)
    : QWidget(parent), UpButton(arrowButton(Qt::UpArrow, "Up", this)), DownButton(arrowButton(Qt::DownArrow, "Down", this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(UpButton);
    layout->addWidget(DownButton);
    connect(UpButton, &QToolButton::clicked, this, &TSpinButton::UpClick);
    connect(DownButton, &QToolButton::clicked, this, &TSpinButton::DownClick);
    edit->installEventFilter(this);
}

bool TSpinButton::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier) return false;
    if (key->key() == Qt::Key_Up) emit UpClick();
    else if (key->key() == Qt::Key_Down) emit DownClick();
    else return false;
    return true;
}
