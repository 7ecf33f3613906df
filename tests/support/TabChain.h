#pragma once
// The controls that Tab (or Shift+Tab) visits in a window, from a control on, the way the user walks them: the
// key goes to the control that has the focus, which may keep it. The walk ends when the focus comes back to
// where it began, stays where it is (Tab is stuck), or after `limit` presses.

#include <QTest>
#include <QWidget>

#include <vector>

namespace testsupport {

inline std::vector<QWidget *> TabChain(QWidget *start, Qt::Key key = Qt::Key_Tab, int limit = 64)
{
    QWidget *window = start->window();
    start->setFocus(Qt::OtherFocusReason);
    std::vector<QWidget *> chain {window->focusWidget()};
    for (int i = 0; i < limit; ++i) {
        QWidget *from = window->focusWidget();
        QTest::keyClick(from, key);
        QWidget *to = window->focusWidget();
        if (to == chain.front() || to == from) {
            if (to == from) chain.push_back(to);   // stuck: the last control shows twice
            break;
        }
        chain.push_back(to);
    }
    return chain;
}

// Makes the window the active one, as a click on it does; false when the window system refuses.
inline bool Activate(QWidget &window)
{
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace testsupport
