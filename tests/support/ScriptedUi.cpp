#include "ScriptedUi.h"

namespace testsupport {

ScriptedUi::ScriptedUi() : previous_(&Ui()) { SetUi(this); }

ScriptedUi::~ScriptedUi() { SetUi(previous_); }

std::vector<std::string> ScriptedUi::texts(Kind kind) const
{
    std::vector<std::string> out;
    for (const Entry &e : log_)
        if (e.kind == kind) out.push_back(e.text);
    return out;
}

bool ScriptedUi::AskYesNo(const std::string &text)
{
    log_.push_back({Kind::Question, text});
    if (answers_.empty()) {
        ++unexpected_;
        return false;
    }
    bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

void ScriptedUi::ShowWarning(const std::string &text)
{
    log_.push_back({Kind::Warning, text});
    if (onWarning) onWarning();
}

void ScriptedUi::ShowInformation(const std::string &text) { log_.push_back({Kind::Information, text}); }

std::optional<std::string> ScriptedUi::nextFile(Kind kind, const FileDialogRequest &request)
{
    log_.push_back({kind, request.title});
    requests_.push_back(request);
    if (files_.empty()) return std::nullopt;
    auto name = files_.front();
    files_.pop_front();
    return name;
}

std::optional<std::string> ScriptedUi::SaveFileName(const FileDialogRequest &request)
{
    return nextFile(Kind::SaveDialog, request);
}

std::optional<std::string> ScriptedUi::OpenFileName(const FileDialogRequest &request)
{
    return nextFile(Kind::OpenDialog, request);
}

} // namespace testsupport
