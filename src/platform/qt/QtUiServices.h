#pragma once
// Message boxes and file dialogs of the window system.

#include "platform/UiServices.h"

#include <QString>

class QtUiServices final : public UiServices {
public:
    bool AskYesNo(const std::string &text) override;
    void ShowWarning(const std::string &text) override;
    void ShowInformation(const std::string &text) override;
    std::optional<std::string> SaveFileName(const FileDialogRequest &request) override;
    std::optional<std::string> OpenFileName(const FileDialogRequest &request) override;
};

// Turns a "Description|*.a;*.b|..." filter into the dialog's form; patterns match in either case, "*.*" every file.
QString DialogNameFilters(const std::string &filter);
