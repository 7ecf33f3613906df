#include "Splash.h"

#include "model/SettingsModule.h"
#include "platform/Paths.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
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

    if (FileExistsCi(BmpFileName)) {
        const std::string path = ResolveCaseInsensitive(BmpFileName);
        QPixmap picture;
        if (!picture.load(QString::fromStdString(path), "BMP"))
            throw std::runtime_error("Unable to read the bitmap " + path);
        Image->setPixmap(picture);
        setFixedSize(picture.size());
    }
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move(screen.center() - rect().center());
}
