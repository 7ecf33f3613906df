#pragma once
// A stand-in for the message boxes and file dialogs: answers questions from a script and records every text.
// Installed for its lifetime; the previous implementation is restored afterwards.

#include "platform/UiServices.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class ScriptedUi final : public UiServices {
public:
    enum class Kind { Question, Warning, Information, SaveDialog, OpenDialog };
    struct Entry {
        Kind kind;
        std::string text;
    };

    ScriptedUi();
    ~ScriptedUi() override;

    // Answers for the next questions, in order. A question without a scripted answer answers No and is recorded
    // as unexpected.
    void answer(bool yes) { answers_.push_back(yes); }
    // File names for the next file dialogs, in order (nothing = cancel).
    void chooseFile(std::optional<std::string> name) { files_.push_back(std::move(name)); }

    // Runs as each warning is shown, to see what holds at that moment.
    std::function<void()> onWarning;

    const std::vector<Entry> &log() const { return log_; }
    std::vector<std::string> texts(Kind kind) const;
    std::vector<std::string> warnings() const { return texts(Kind::Warning); }
    std::vector<std::string> questions() const { return texts(Kind::Question); }
    int unexpectedQuestions() const { return unexpected_; }
    const std::vector<FileDialogRequest> &dialogRequests() const { return requests_; }
    void clear() { log_.clear(); }

    bool AskYesNo(const std::string &text) override;
    void ShowWarning(const std::string &text) override;
    void ShowInformation(const std::string &text) override;
    std::optional<std::string> SaveFileName(const FileDialogRequest &request) override;
    std::optional<std::string> OpenFileName(const FileDialogRequest &request) override;

private:
    std::optional<std::string> nextFile(Kind kind, const FileDialogRequest &request);

    UiServices *previous_;
    std::deque<bool> answers_;
    std::deque<std::optional<std::string>> files_;
    std::vector<Entry> log_;
    std::vector<FileDialogRequest> requests_;
    int unexpected_ = 0;
};

} // namespace testsupport
