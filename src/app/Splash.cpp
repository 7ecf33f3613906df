#include "Splash.h"

#include "editor/DialogLayout.h"
#include "model/SettingsModule.h"
#include "platform/ErrorReport.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

TSplashForm *SplashForm = nullptr;

TSplashForm::TSplashForm()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle("SplashForm");
    Image = new QLabel(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image);
    setFixedSize(258, 224);
    ReportErrors([this] { FormCreate(); });
    CenterOnScreen(*this);
    qApp->installEventFilter(this);
}

void TSplashForm::FormCreate()
{
    if (!FileExistsCi(BmpFileName)) return;
    const std::string path = ResolveCaseInsensitive(BmpFileName);
    QPixmap picture;
    if (!picture.load(QString::fromStdString(path), "BMP")) throw std::runtime_error("Unable to read the bitmap " + path);
    Image->setPixmap(picture);
    setFixedSize(picture.size());
}

bool TSplashForm::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWidget *>(watched);
    if (window && window != this && window->isWindow() && window->isModal()) {
        if (event->type() == QEvent::Show) {
            hide();
        } else if (event->type() == QEvent::Hide) {
            QTimer::singleShot(0, this, [this] {
                if (!QApplication::activeModalWidget()) show();
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

TSplashForm *ShowSplash(const std::function<TSplashForm *()> &create)
{
    TSplashForm *splash = nullptr;
    try {
        splash = create();
        splash->show();
    } catch (...) {
        QApplication::beep();
    }
    return splash;
}
