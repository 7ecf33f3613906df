#include "TabRowsAccessible.h"

#include "TabRows.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace {

// A tab has no widget of its own; it stands for its index as long as the rows have that many tabs.
class TabAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TabAccessible(TTabRows *rows, int index) : rows_(rows), index_(index) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    bool isValid() const override { return rows_ && index_ < rows_->count(); }
    QObject *object() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = true;
        s.selected = index_ == rows_->currentIndex();
        s.focused = s.selected && rows_->hasFocus();
        s.invisible = !rows_->isVisible();
        s.disabled = !rows_->isEnabled();
        return s;
    }
    QRect rect() const override
    {
        if (!isValid()) return {};
        const QRect tab = rows_->tabRect(index_);
        return QRect(rows_->mapToGlobal(tab.topLeft()), tab.size());
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid()) return {};
        // The tab shows "&&" as "&" and underlines the letter after a single "&".
        QString name = rows_->tabText(index_);
        for (int i = 0; i < name.size(); ++i)
            if (name[i] == '&') name.remove(i, 1);
        return name;
    }
    void setText(QAccessible::Text, const QString &) override {}
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(rows_.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (isValid() && name == pressAction()) rows_->setCurrentIndex(index_);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<TTabRows> rows_;
    int index_;
};

class TabRowsAccessible final : public QAccessibleWidget {
public:
    explicit TabRowsAccessible(TTabRows *rows) : QAccessibleWidget(rows, QAccessible::PageTabList) {}
    ~TabRowsAccessible() override
    {
        for (QAccessible::Id id : std::as_const(tabs_)) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return rows()->count(); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= rows()->count()) return nullptr;
        if (const auto found = tabs_.constFind(index); found != tabs_.cend())
            return QAccessible::accessibleInterface(found.value());
        QAccessibleInterface *tab = new TabAccessible(rows(), index);
        tabs_.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (auto it = tabs_.cbegin(); it != tabs_.cend(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == child) return it.key() < rows()->count() ? it.key() : -1;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint at = rows()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < rows()->count(); ++i)
            if (rows()->tabRect(i).contains(at)) return child(i);
        return nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        return rows()->hasFocus() ? child(rows()->currentIndex()) : nullptr;
    }

private:
    TTabRows *rows() const { return static_cast<TTabRows *>(object()); }

    mutable QHash<int, QAccessible::Id> tabs_;
};

QAccessibleInterface *tabRowsFactory(const QString &, QObject *object)
{
    if (auto *rows = qobject_cast<TTabRows *>(object)) return new TabRowsAccessible(rows);
    return nullptr;
}

} // namespace

void InstallTabRowsAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(tabRowsFactory);
        return true;
    }();
    (void)installed;
}
