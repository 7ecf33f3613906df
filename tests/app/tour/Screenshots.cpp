// Saves a picture of every window of the program and of the download library, with content, into a folder.
// Usage: corvane_screenshots [folder [points]]   (the application font at that size; run with
// QT_QPA_PLATFORM=offscreen where there is no display)

#include "AppFont.h"
#include "WindowTour.h"

#include <QApplication>
#include <QDir>

#include <iostream>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    if (!QDir().mkpath(folder)) {
        std::cerr << "cannot create " << folder.toStdString() << "\n";
        return 1;
    }
    std::unique_ptr<testsupport::AppFont> font;
    if (argc > 2) {
        bool number = false;
        const double points = QString::fromLocal8Bit(argv[2]).toDouble(&number);
        if (!number || points <= 0) {
            std::cerr << "not a font size in points: " << argv[2] << "\n";
            return 1;
        }
        font = std::make_unique<testsupport::AppFont>(points);
    }
    testsupport::WindowTour tour;
    if (!tour.connected()) {
        std::cerr << "the main window did not connect to the reader simulator\n";
        return 1;
    }
    int failed = 0;
    tour.visit([&](const std::string &name, QWidget &window) {
        const QString file = QDir(folder).filePath(QString::fromStdString(name) + ".png");
        if (window.grab().save(file))
            std::cout << file.toStdString() << "\n";
        else
            ++failed;
    });
    return failed == 0 ? 0 : 1;
}
