#include "editor/TabRows.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QStringList kPages {"General", "Codes", "Symbologies", "Interface", "Trigger", "Output", "Security"};

struct Tabs {
    explicit Tabs(int width)
    {
        for (const QString &page : kPages) bar.addTab(page);
        bar.resize(width, bar.heightForWidth(width));
        bar.show();
    }
    TTabRows bar;
};

} // namespace

TEST(TabRows, TabsWrapIntoRowsThatFillTheWidthAndAllShow)
{
    for (const int width : {2000, 300, 150, 60}) {
        Tabs tabs(width);
        const bool oneRow = width == 2000;
        EXPECT_EQ(tabs.bar.rowCount() == 1, oneRow) << width;
        EXPECT_EQ(tabs.bar.height(), tabs.bar.rowCount() * tabs.bar.tabRect(0).height()) << width;
        int shownWidth = 0;
        for (int i = 0; i < tabs.bar.count(); ++i) {
            const QRect tab = tabs.bar.tabRect(i);
            EXPECT_TRUE(tabs.bar.rect().contains(tab)) << width << " " << i;
            for (int j = 0; j < i; ++j) EXPECT_FALSE(tab.intersects(tabs.bar.tabRect(j))) << width << " " << i << "/" << j;
            shownWidth += tab.width();
        }
        // Several rows are stretched over the whole width; a single row keeps the tabs' own widths.
        if (oneRow)
            EXPECT_LT(shownWidth, width);
        else
            EXPECT_EQ(shownWidth, tabs.bar.rowCount() * width) << width;
    }
}

TEST(TabRows, TheCurrentTabsRowMovesNextToThePage)
{
    Tabs tabs(220);
    ASSERT_GE(tabs.bar.rowCount(), 3);
    QSignalSpy changed(&tabs.bar, &TTabRows::currentChanged);
    const int bottom = tabs.bar.height() - tabs.bar.tabRect(0).height();
    for (const int index : {0, 3, int(kPages.size()) - 1, 1}) {
        tabs.bar.setCurrentIndex(index);
        EXPECT_EQ(tabs.bar.currentIndex(), index);
        EXPECT_EQ(tabs.bar.tabRect(index).top(), bottom) << index;
    }
    EXPECT_EQ(changed.size(), 3);   // the first tab was current from the start
}

TEST(TabRows, AClickOrAnArrowKeySelectsAndRemovingKeepsACurrentTab)
{
    Tabs tabs(220);
    QTest::mouseClick(&tabs.bar, Qt::LeftButton, {}, tabs.bar.tabRect(4).center());
    EXPECT_EQ(tabs.bar.currentIndex(), 4);
    QTest::keyClick(&tabs.bar, Qt::Key_Right);
    EXPECT_EQ(tabs.bar.currentIndex(), 5);
    QTest::keyClick(&tabs.bar, Qt::Key_Left);
    QTest::keyClick(&tabs.bar, Qt::Key_Left);
    EXPECT_EQ(tabs.bar.currentIndex(), 3);

    struct Removal {
        int removed;
        int current;   // afterwards
        QString text;
    };
    // The current tab stays current; when it goes, the tab that takes its place, or the new last one.
    for (const Removal &r : {Removal {0, 2, "Interface"}, Removal {2, 2, "Trigger"}, Removal {4, 2, "Trigger"},
                             Removal {2, 2, "Output"}, Removal {2, 1, "Symbologies"}}) {
        tabs.bar.removeTab(r.removed);
        EXPECT_EQ(tabs.bar.currentIndex(), r.current) << r.removed;
        EXPECT_EQ(tabs.bar.tabText(tabs.bar.currentIndex()), r.text) << r.removed;
    }
    while (tabs.bar.count() > 0) tabs.bar.removeTab(0);
    EXPECT_EQ(tabs.bar.currentIndex(), -1);
    EXPECT_EQ(tabs.bar.heightForWidth(220), 0);
}

TEST(TabRows, TabsNamedForScreenReadersWithoutTheirMnemonicMarks)
{
    TTabRows bar;
    for (const char *text : {"&Codes", "A&&B", "Plain"}) bar.addTab(text);
    bar.resize(400, bar.heightForWidth(400));
    bar.show();
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(list, nullptr);
    const QStringList expected {"Codes", "A&B", "Plain"};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list->child(i)->text(QAccessible::Name), expected[i]) << i;

    // A tab that goes is no longer offered; its interface says it is gone and its action does nothing.
    QAccessibleInterface *last = list->child(2);
    bar.removeTab(2);
    EXPECT_EQ(list->childCount(), 2);
    EXPECT_EQ(list->child(2), nullptr);
    EXPECT_FALSE(last->isValid());
    last->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(bar.currentIndex(), 0);
}
