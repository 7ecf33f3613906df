// Corvane: sets up barcode readers on a serial line.

#include "Program.h"
#include "editor/DatabaseWindow.h"
#include "editor/OleDate.h"
#include "model/ConfigDump.h"
#include "platform/HelpViewer.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/GuardedApplication.h"
#include "platform/qt/QtUiServices.h"

#include <QLocale>

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    QtUiServices dialogs;
    SetUi(&dialogs);
    ExternalHelpViewer help;
    SetHelpViewer(&help);
    SetDecimalSeparator(QLocale().decimalPoint().at(0).toLatin1());
    SetDumpDateText([] { return DbDateTimeText(OleDateNow()); });   // short date and long time of the locale

    const QStringList args = QCoreApplication::arguments();
    const int result = CorvaneMain(QCoreApplication::applicationFilePath().toStdString(),
                                   args.size() > 1 ? ToCp1252(args[1]) : std::string());
    SetHelpViewer(nullptr);
    SetUi(nullptr);
    return result;
}
