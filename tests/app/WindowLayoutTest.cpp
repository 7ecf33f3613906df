#include "WindowTour.h"
#include "serial/SerStatLt.h"

#include <QAbstractScrollArea>
#include <gtest/gtest.h>

#include <set>

namespace {

std::string Describe(const QWidget &widget)
{
    const QString name = widget.objectName().isEmpty() ? widget.metaObject()->className() : widget.objectName();
    return name.toStdString();
}

// Content of a scroll area's viewport may lie outside it: it is scrolled into view.
bool IsScrolledContent(const QWidget &widget, const QWidget &window)
{
    for (const QWidget *w = &widget; w && w != &window; w = w->parentWidget())
        if (const auto *area = qobject_cast<const QAbstractScrollArea *>(w->parentWidget()->parentWidget()))
            if (area->viewport() == w->parentWidget()) return true;
    return false;
}

} // namespace

TEST(WindowLayout, EveryWindowShowsEachControlWithinItAndLightsAtTheirSize)
{
    testsupport::WindowTour tour;
    ASSERT_TRUE(tour.connected());
    std::set<std::string> seen;
    tour.visit([&](const std::string &name, QWidget &window) {
        seen.insert(name);
        for (const QWidget *child : window.findChildren<QWidget *>()) {
            if (child->isWindow() || !child->isVisibleTo(&window) || IsScrolledContent(*child, window)) continue;
            const QRect at(child->mapTo(&window, QPoint(0, 0)), child->size());
            EXPECT_FALSE(at.isEmpty()) << name << ": " << Describe(*child) << " has no size";
            EXPECT_TRUE(window.rect().contains(at))
                << name << ": " << Describe(*child) << " at " << at.x() << "," << at.y() << " " << at.width() << "x"
                << at.height() << " lies outside " << window.width() << "x" << window.height();
        }
        for (const TSerStatusLight *light : window.findChildren<TSerStatusLight *>())
            EXPECT_EQ(light->size(), QSize(13, 13)) << name;
    });
    EXPECT_EQ(seen.size(), 21u);
}
