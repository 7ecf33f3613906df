// The Multi menu: the readers of a multi-drop line, each reached by its own enter-host command.

#include "MainWindow.h"

#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QAction>
#include <QMenu>

namespace {

constexpr int kColumnBreaks[] = {12, 23};   // items that begin a new column of the menu

// The enter-host command of a Multi line ("name=HEX").
std::string addressOf(const std::string &line) { return Cut(HexToBytes(StrAfter(line, "=")), 80); }

bool selected(const std::string &line) { return addressOf(line) == HostCommands[hcEnterHost].str(); }

} // namespace

void TMainForm::UpdateMultiMenu(bool useDefault)
{
    ReadMultiSection(useDefault);
    if (Settings.MultiList.empty()) return;

    delete MultiMenu;
    MultiMenu = new QMenu(FromCp1252(Settings.MultiTitle.str()), this);
    RebuildMenuBar();   // in the menu bar at once, also when a bad line below ends the rebuild
    for (std::size_t i = 0; i < Settings.MultiList.size(); ++i) {
        const std::string &line = Settings.MultiList[i];
        if (std::find(std::begin(kColumnBreaks), std::end(kColumnBreaks), int(i)) != std::end(kColumnBreaks))
            MultiMenu->addSeparator();
        const std::string name = StrBefore(line, "=");
        QAction *item = MultiMenu->addAction(FromCp1252(name));
        item->setData(FromCp1252(name));
        item->setCheckable(true);
        item->setChecked(selected(line));
        connect(item, &QAction::triggered, this, Guarded([this, item] { MultiItemClick(item); }));
    }
    UpdateCaption();
}

void TMainForm::MultiItemClick(QAction *item)
{
    for (QAction *a : MultiMenu->actions()) a->setChecked(false);
    item->setChecked(true);
    const std::string name = ToCp1252(item->data().toString());
    for (const std::string &line : Settings.MultiList)
        if (SameText(StrBefore(line, "="), name)) {
            HostCommands[hcEnterHost] = addressOf(line);
            break;
        }
    UpdateCaption();
}

void TMainForm::UpdateCaption()
{
    const std::string base = Cut(Trim(StrBefore(Cut(ToCp1252(windowTitle()), 255), "-")), 80);
    std::string name;
    for (const std::string &line : Settings.MultiList)
        if (selected(line)) name = Cut(StrBefore(line, "="), 80);
    if (name.empty()) return setWindowTitle(FromCp1252(base));
    std::string caption = base + " - " + name;
    caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
    setWindowTitle(FromCp1252(Cut(caption, 80)));
}
