#pragma once
// Every test starts from the state a fresh process has, whatever the tests before it in the same process left
// behind: a quit request of a test that ends the program would otherwise end every later wait, and every later
// dialog's event loop, at once.

#include "serial/SerMisc.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

class ProcessStateReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override
    {
        ClearQuitRequest();
        // A quit marks the thread's event loops to end as soon as they start; the end of an application loop
        // lifts the mark.
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
};

// Installs the reset for the run; call after InitGoogleTest, with the application object made.
inline void InstallProcessStateReset()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new ProcessStateReset);
}
