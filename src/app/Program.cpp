#include "Program.h"

#include "MainWindow.h"
#include "Splash.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "serial/SerMisc.h"

#include <QApplication>

int CorvaneMain(const std::string &programPath, const std::string &firstArgument)
{
    ClearQuitRequest();
    StartSettingsModule(programPath, firstArgument);

    SplashForm = nullptr;
    if (!Settings.NoBmp) SplashForm = ShowSplash();
    QCoreApplication::processEvents();

    auto *main = new TMainForm;
    main->show();
    if (SplashForm) SplashForm->raise();   // stays above the main window until the start-up timer frees it
    const int result = QApplication::exec();

    EndSettingsModule();
    delete main;
    delete SplashForm;
    SplashForm = nullptr;
    return result;
}
