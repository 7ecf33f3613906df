#include "EditFixture.h"

#include "app/BackgroundArea.h"
#include "app/MainWindow.h"
#include "link/DeviceControl.h"

#include <QAction>
#include <QMdiArea>
#include <QMenuBar>
#include <QToolButton>

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// The program's main window on the simulated reader.
class EditorInMainWindowTest : public EditFixture {
protected:
    void TearDown() override
    {
        delete window.data();
        EditFixture::TearDown();
    }

    int editorCount() const
    {
        int n = 0;
        for (QMdiSubWindow *w : window->MdiArea->subWindowList()) n += dynamic_cast<TEditForm *>(w) != nullptr;
        return n;
    }

    QPointer<TMainForm> window;
};

TEST_F(EditorInMainWindowTest, ConnectOpensTheEditorWithTheReadersConfiguration)
{
    window = new TMainForm;
    window->show();
    EXPECT_TRUE(window->EditBtn->isEnabled());
    EXPECT_TRUE(window->Edit1->isEnabled());
    window->CommBtnClick();
    CommForm->ConnBtnClick();

    ASSERT_NE(EditForm, nullptr);
    form = EditForm;
    EXPECT_TRUE(CommDM->HasEditView());
    EXPECT_EQ(form->windowTitle(), "Test reader M100 - Edit Configuration");
    EXPECT_EQ(column(1), (Strings {"Beeper", "Off", "Timing", "$05", "$1F"}));
    showPage(Codes);
    EXPECT_EQ(column(1), (Strings {"Slow", "!", "x", "y", "$34 (4660)", "$12"}));
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_EQ(form->height(), window->MdiArea->viewport()->height());
    EXPECT_TRUE(ui.warnings().empty());

    // While it is active its menus take the places of their groups.
    window->MdiArea->setActiveSubWindow(form);
    PumpFor(50ms);
    const QList<QAction *> bar = window->menuBar()->actions();
    ASSERT_EQ(bar.size(), 4);
    EXPECT_EQ(bar[2], form->File1->menuAction());
    EXPECT_EQ(bar[3], form->Help1->menuAction());

    // Edit again brings the same window to the front.
    uint16_t key = 'e';
    window->ShortcutKey(key);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(EditForm, form.data());
    EXPECT_EQ(editorCount(), 1);

    showPage(General);
    PumpFor(100ms);
    window->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/corvane-editor.png");

    // Closed counts as gone at once, even before the window is deleted.
    form->close();
    EXPECT_EQ(EditForm, nullptr);
    EXPECT_FALSE(CommDM->HasEditView());
    window->EditBtn->click();
    ASSERT_NE(EditForm, nullptr);
    EXPECT_EQ(editorCount(), 1);
    EXPECT_EQ(EditForm->TabSet->count(), 4);
}
