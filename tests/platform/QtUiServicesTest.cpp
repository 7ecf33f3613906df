// The window system's file dialogs on real folders: file names are the file system's bytes, and "*.*" shows
// every file.

#include "ModalDriver.h"
#include "TempDir.h"
#include "platform/FileContents.h"
#include "platform/qt/FileNameText.h"
#include "platform/qt/QtUiServices.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The names the dialog's file list shows, once it lists `expected` (the folder is read in the background).
QStringList ListedNames(QFileDialog &dialog, const QString &expected)
{
    auto *view = dialog.findChild<QListView *>("listView");
    if (!view) return {};
    QStringList names;
    static_cast<void>(QTest::qWaitFor([&] {
        names.clear();
        for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
            names << view->model()->index(r, 0, view->rootIndex()).data().toString();
        return names.contains(expected);
    }, 5000));   // a name that never comes shows in the caller's check
    names.sort();
    return names;
}

// Types the file's name into the dialog's name field and accepts, as a user does. (QFileDialog::selectFile leaves
// the field alone while it has the keyboard focus, which the window gets or not depending on timing.) A dialog
// that stays open is rejected, so that the test fails instead of waiting for ever.
void PickAndAccept(QFileDialog &dialog, const QString &name)
{
    auto *field = dialog.findChild<QLineEdit *>("fileNameEdit");
    ASSERT_NE(field, nullptr);
    field->setText(name);
    static_cast<QDialog &>(dialog).accept();   // QFileDialog's own accept() is protected
    if (dialog.isVisible()) {
        ADD_FAILURE() << "the dialog did not take " << name.toStdString();
        dialog.reject();
    }
}

} // namespace

// Folders and names in UTF-8, as the system names files: the dialog opens in the folder, and the chosen name
// comes back as bytes that name the file, to be written and found again.
TEST(QtUiServices, FileDialogsTakeAndGivePathsAsTheFileSystemNamesThem)
{
    testsupport::TempDir dir;
    const std::string folder = dir.file("Ger\xC3\xA4te");
    std::filesystem::create_directories(folder);
    QtUiServices ui;
    for (const std::string name : {"Pr\xC3\xBC" "fung.cfg", "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82.cfg"}) {
        std::string shownDir;
        testsupport::OnModal<QFileDialog> save([&](QFileDialog &dialog) {
            shownDir = ToFileName(dialog.directory().absolutePath());
            PickAndAccept(dialog, FromFileName(name));
        });
        const std::optional<std::string> saved =
            ui.SaveFileName({"Save", folder, "*.cfg", "Configuration files|*.cfg", "cfg"});
        EXPECT_EQ(shownDir, folder);
        ASSERT_EQ(saved, folder + "/" + name);
        ASSERT_TRUE(WriteFileAtomically(*saved, "cfg"));

        QStringList listed;
        testsupport::OnModal<QFileDialog> load([&](QFileDialog &dialog) {
            listed = ListedNames(dialog, QString::fromUtf8(name));
            PickAndAccept(dialog, FromFileName(name));
        });
        EXPECT_EQ(ui.OpenFileName({"Open", folder, "", "Configuration files|*.cfg", ""}), folder + "/" + name);
        EXPECT_TRUE(listed.contains(QString::fromUtf8(name))) << listed.join(", ").toStdString();
    }
    EXPECT_EQ(dir.read("Ger\xC3\xA4te/Pr\xC3\xBC" "fung.cfg"), "cfg");
}

// "*.*" means every file: a program file without a dot in its name can be picked.
TEST(QtUiServices, AllFilesFilterListsNamesWithoutADot)
{
    testsupport::TempDir dir;
    dir.write("firmware", "x");
    dir.write("old.bin", "x");
    QtUiServices ui;
    QStringList listed;
    testsupport::OnModal<QFileDialog> pick([&](QFileDialog &dialog) {
        listed = ListedNames(dialog, "old.bin");
        PickAndAccept(dialog, "firmware");
    });
    EXPECT_EQ(ui.OpenFileName({"Open", dir.path().string(), "", "AllFiles|*.*", ""}), dir.file("firmware"));
    EXPECT_EQ(listed.join(", ").toStdString(), "firmware, old.bin");
    EXPECT_EQ(DialogNameFilters("AllFiles|*.*|Programs|*.bin").toStdString(), "AllFiles (*);;Programs (*.bin *.BIN)");
}

TEST(FileNameText, MessagesShowFileNamesAsTheFileSystemNamesThem)
{
    EXPECT_EQ(FromTextWithFileNames("Can't write to /tmp/Ger\xC3\xA4te/a.cfg").toStdString(),
              "Can't write to /tmp/Ger\xC3\xA4te/a.cfg");
    EXPECT_EQ(FromTextWithFileNames("Template: GER\xC4T not found").toStdString(), "Template: GER\xC3\x84T not found");
    EXPECT_EQ(FromTextWithFileNames("\x80 plain").toStdString(), "\xE2\x82\xAC plain");
    EXPECT_EQ(ToFileName(FromFileName("/tmp/\xD0\xA2.cfg")), "/tmp/\xD0\xA2.cfg");
}
