#pragma once
// The value list laid over the grid's current value cell. Every change of its selection by the user is a Click;
// a selection set by the program is none. Changes made while its list is open are counted, so that the owner can
// send the value once when it closes. Keys that leave the cell go to the grid.

#include <QComboBox>

#include <cstdint>
#include <functional>

class QAbstractItemView;

class TGridCombo : public QComboBox {
    Q_OBJECT
public:
    // `grid` receives Page Up, Page Down, Up and Down; `sending` is the owner's flag of a value being sent.
    TGridCombo(QAbstractItemView *grid, const bool &sending, QWidget *parent);

    bool ListOpen = false;
    int32_t PendingChanges = 0;   // values chosen while the list was open and not yet sent
    std::function<QColor()> TextColour;

    // Opens the list, but not while a value is being sent.
    void showPopup() override;

signals:
    void Click();
    // The list closed after values were chosen in it.
    void ClosedWithChanges();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CloseUp();
    void PostToGrid(const QKeyEvent &event);
    // Selects the item `delta` places away as the user would (a Click when it changes); beeps while sending.
    void StepSelection(int delta);
    bool BrowseOpenList(const QKeyEvent &event);
    // The user chose the item: selected, and a Click when it is another one.
    void Choose(int index);

    QAbstractItemView *grid_;
    const bool &sending_;
    // The item the selection last changed to, until the user's choice of it is reported; -1 none.
    int changedTo_ = -1;
};
