#include "ElidedLabel.h"

#include <QEvent>
#include <QStringList>

TElidedLabel::TElidedLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void TElidedLabel::setFullText(const QString &text)
{
    full_ = text;
    setToolTip(text);
    elide();
}

void TElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void TElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

void TElidedLabel::elide()
{
    const int width = contentsRect().width() - 2 * margin();
    QStringList lines = full_.split('\n');
    for (QString &line : lines)
        line = fontMetrics().elidedText(line, Qt::ElideMiddle, width);
    setText(lines.join('\n'));
}
