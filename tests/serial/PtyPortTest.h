#pragma once
// A port component whose number, COM5, names a fresh pty; the port does not open by itself.

#include "serial/SerPort.h"

#include "Pty.h"

#include <gtest/gtest.h>

#include <cstdlib>

struct PtyPortTest : ::testing::Test {
    testsupport::Pty pty;
    TSerCustomComPort port;

    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM5", pty.devicePath().c_str(), 1);
        port.SetComNumber(5);
        port.SetAutoOpen(false);
    }
    void TearDown() override
    {
        unsetenv("SERIAL_COM5");
        unsetenv("SERIAL_COM6");
    }
};
