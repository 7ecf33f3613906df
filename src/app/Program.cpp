#include "Program.h"

#include "CVMain.h"
#include "Splash.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "platform/ErrorReport.h"
#include "serial/SerMisc.h"

#include <QApplication>

int CorvaneMain(const std::string &programPath, const std::string &firstArgument)
{
    ClearQuitRequest();
    StartSettingsModule(programPath, firstArgument);

    SplashForm = nullptr;
    if (!Settings.NoBmp) {
        try {
            SplashForm = new TSplashForm;
            SplashForm->show();
        } catch (const std::exception &e) {
            // The window stands at its design size; the bitmap's error is reported like any other.
            QApplication::beep();
            ShowErrorReport(e.what());
        }
    }
    QCoreApplication::processEvents();

    auto *main = new TMainForm;
    main->show();
    const int result = QApplication::exec();

    EndSettingsModule();
    delete main;
    delete SplashForm;
    SplashForm = nullptr;
    return result;
}
