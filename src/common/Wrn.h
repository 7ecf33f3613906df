#pragma once
// The program's two message boxes: every question and every warning goes through them.

#include <string>

// Confirmation box with Yes and No; true when Yes was chosen.
bool AskYesNo(const std::string &message);
// Warning box with an OK button.
void ShowWarning(const std::string &message);
