#pragma once
// The Qt application object of a test binary, made on first use and kept for the whole run.

#include <QCoreApplication>

template <class App = QCoreApplication>
App &TestApp()
{
    static int argc = 1;
    static char name[] = "serial_tests";
    static char *argv[] = {name, nullptr};
    static App *app = new App(argc, argv);
    return *app;
}
