#include "ScreenPlacement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

void PlaceInMiddle(QWidget &window)
{
    if (const QScreen *screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

// Centres a window again when it is shown: by then its size is final and its frame is known.
class CentreWhenShown : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            PlaceInMiddle(*static_cast<QWidget *>(watched));
            deleteLater();
        }
        return false;
    }
};

} // namespace

void CenterOnScreen(QWidget &window)
{
    PlaceInMiddle(window);
    if (!window.isVisible()) window.installEventFilter(new CentreWhenShown(&window));
}
