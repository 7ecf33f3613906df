#include "QtUiServices.h"

#include "Cp1252.h"
#include "FileNameText.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>

namespace {

QWidget *dialogParent() { return QApplication::activeWindow(); }

// Message texts use CR or CR LF as line breaks; a file name in them reads as the file system names it.
QString messageText(const std::string &text)
{
    QString t = FromTextWithFileNames(text);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

std::optional<std::string> runFileDialog(const FileDialogRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(dialogParent(), FromCp1252(request.title), FromFileName(request.initialDir));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);   // the program asks its own question
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (!request.filter.empty()) dialog.setNameFilter(DialogNameFilters(request.filter));
    if (!request.defaultExt.empty()) dialog.setDefaultSuffix(FromCp1252(request.defaultExt));
    if (!request.fileName.empty() && request.fileName.find('*') == std::string::npos)
        dialog.selectFile(FromFileName(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ToFileName(dialog.selectedFiles().first());
}

} // namespace

QString DialogNameFilters(const std::string &filter)
{
    const QStringList parts = FromCp1252(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            // "*.*" means every file, also one without a dot in its name.
            QString pattern = p.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : p.trimmed();
            patterns << pattern;
            if (pattern.toLower() != pattern) patterns << pattern.toLower();
            if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
        }
        QString description = parts[i];
        description.remove(QRegularExpression(QStringLiteral("\\s*\\(.*\\)\\s*$")));
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

bool QtUiServices::AskYesNo(const std::string &text)
{
    return QMessageBox::question(dialogParent(), QStringLiteral("Confirm"), messageText(text),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

void QtUiServices::ShowWarning(const std::string &text)
{
    QMessageBox::warning(dialogParent(), QStringLiteral("Warning"), messageText(text));
}

void QtUiServices::ShowInformation(const std::string &text)
{
    QMessageBox::information(dialogParent(), QStringLiteral("Information"), messageText(text));
}

std::optional<std::string> QtUiServices::SaveFileName(const FileDialogRequest &request)
{
    return runFileDialog(request, QFileDialog::AcceptSave);
}

std::optional<std::string> QtUiServices::OpenFileName(const FileDialogRequest &request)
{
    return runFileDialog(request, QFileDialog::AcceptOpen);
}
