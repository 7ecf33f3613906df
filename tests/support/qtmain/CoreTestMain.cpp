// Test entry for binaries without widgets: one core application object for the whole run, for events and timers.

#include "ProcessStateReset.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    InstallProcessStateReset();
    return RUN_ALL_TESTS();
}
