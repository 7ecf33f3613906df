#pragma once
// A titled group of radio buttons with one index: the checked button, or -1 when none is. The group is one tab
// stop; the arrow keys move within it.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString &title, const QStringList &items, int columns = 1, QWidget *parent = nullptr);

    int ItemIndex() const;
    // An index past the last button checks the last button; an index below 0 checks none.
    void SetItemIndex(int index);
    QRadioButton *Button(int index) const;
    int Count() const;

private:
    QButtonGroup *group_;
};
