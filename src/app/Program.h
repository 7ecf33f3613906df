#pragma once
// The program block: settings, splash window, main window, message loop, shutdown.

#include <string>

// Runs Corvane in the application object that already exists; returns the message loop's result.
int CorvaneMain(const std::string &programPath, const std::string &firstArgument);
