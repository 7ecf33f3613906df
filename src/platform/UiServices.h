#pragma once
// Message boxes and file dialogs. The program installs the window-system implementation; tests install a
// scripted one. Texts are single-byte (Windows-1252) strings.

#include <optional>
#include <string>

struct FileDialogRequest {
    std::string title;
    std::string initialDir;
    std::string fileName;        // proposed name, may be a pattern such as "*.cfg"
    std::string filter;          // "Configuration files (*.cfg)|*.cfg|All files (*.*)|*.*"
    std::string defaultExt;      // without the dot
};

class UiServices {
public:
    virtual ~UiServices() = default;
    // Confirmation with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string &text) = 0;
    // Warning with an OK button.
    virtual void ShowWarning(const std::string &text) = 0;
    // Information with an OK button.
    virtual void ShowInformation(const std::string &text) = 0;
    // The chosen file name, or nothing when the user cancels.
    virtual std::optional<std::string> SaveFileName(const FileDialogRequest &request) = 0;
    virtual std::optional<std::string> OpenFileName(const FileDialogRequest &request) = 0;
};

// The installed implementation. Until one is installed, texts go to standard error and questions answer No.
UiServices &Ui();
// Installs `ui` (not owned); nullptr goes back to the standard-error fallback.
void SetUi(UiServices *ui);
