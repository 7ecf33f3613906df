// Test entry for binaries with widgets: one application object for the whole run, at the font the windows are
// designed for.

#include "AppFont.h"
#include "ProcessStateReset.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const testsupport::AppFont designFont(testsupport::kDesignPoints);
    InstallProcessStateReset();
    return RUN_ALL_TESTS();
}
