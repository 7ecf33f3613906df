#include "UiServices.h"

#include <cstdio>

namespace {

class StderrUi final : public UiServices {
public:
    bool AskYesNo(const std::string &text) override
    {
        std::fprintf(stderr, "Question (answered No): %s\n", text.c_str());
        return false;
    }
    void ShowWarning(const std::string &text) override { std::fprintf(stderr, "Warning: %s\n", text.c_str()); }
    void ShowInformation(const std::string &text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    std::optional<std::string> SaveFileName(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileDialogRequest &) override { return std::nullopt; }
};

StderrUi fallbackUi;
UiServices *installed = nullptr;

} // namespace

UiServices &Ui() { return installed ? *installed : fallbackUi; }

void SetUi(UiServices *ui) { installed = ui; }
