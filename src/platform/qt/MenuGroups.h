#pragma once
// Menu merging of a frame window and its active child: a child's menus replace the frame's menus of the same
// group, and the menu bar shows the result ordered by group.

#include <QMenu>

#include <algorithm>
#include <vector>

struct TMenuGroup {
    int group;
    QMenu *menu;
};

// A child window whose menus join the frame's menu bar while it is active.
class IMergedMenus {
public:
    virtual std::vector<TMenuGroup> MenuGroups() const = 0;

protected:
    ~IMergedMenus() = default;
};

inline std::vector<QMenu *> MergeMenus(const std::vector<TMenuGroup> &frame, const std::vector<TMenuGroup> &child)
{
    std::vector<TMenuGroup> merged;
    for (const TMenuGroup &m : frame) {
        const bool replaced = std::any_of(child.begin(), child.end(), [&](const TMenuGroup &c) { return c.group == m.group; });
        if (!replaced) merged.push_back(m);
    }
    merged.insert(merged.end(), child.begin(), child.end());
    std::stable_sort(merged.begin(), merged.end(), [](const TMenuGroup &a, const TMenuGroup &b) { return a.group < b.group; });
    std::vector<QMenu *> menus;
    for (const TMenuGroup &m : merged) menus.push_back(m.menu);
    return menus;
}
