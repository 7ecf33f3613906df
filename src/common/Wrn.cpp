#include "Wrn.h"

#include "platform/UiServices.h"

bool AskYesNo(const std::string &message) { return Ui().AskYesNo(message); }

void ShowWarning(const std::string &message) { Ui().ShowWarning(message); }
