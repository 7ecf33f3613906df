#pragma once
// A flat-or-raised speed button that can drop a pop-up menu, and the pop-up menu it drops.

#include <QAbstractButton>
#include <QImage>
#include <QMenu>

#include <array>
#include <functional>

enum class TPopupAlignment { paLeft, paRight, paCenter };

// A pop-up menu placed at a point by its alignment: its left edge, right edge or middle at the point. Its pop-up
// event runs first, so that it can rebuild its items.
class TPopupMenu : public QMenu {
    Q_OBJECT
public:
    using QMenu::QMenu;

    TPopupAlignment Alignment = TPopupAlignment::paLeft;
    std::function<void()> OnPopup;

    // Shows the menu at a screen point and returns when it has closed.
    void Popup(QPoint screenPoint);
    // Where the menu's top left corner goes for the point, with its current items.
    QPoint PlaceAt(QPoint screenPoint) const;
};

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum class TDropDownMenuPosition { dmpBottom, dmpRight };
enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive, bsInactive };

class TDropSpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TDropSpeedButton(QWidget *parent = nullptr);

    // The caption; "&" marks the accelerator key.
    QString Caption() const { return text(); }
    void SetCaption(const QString &caption);
    Qt::Alignment Alignment() const { return alignment_; }
    void SetAlignment(Qt::Alignment alignment) { Change(alignment_, alignment); }
    // A strip of up to five images (up, disabled, down, exclusive, inactive); its bottom-left colour is
    // transparent. A width that is a whole multiple of the height sets NumGlyphs to that multiple.
    const QImage &Glyph() const { return glyph_; }
    void SetGlyph(const QImage &glyph);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int count);
    bool Flat() const { return flat_; }
    void SetFlat(bool flat) { Change(flat_, flat); }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent) { Change(transparent_, transparent); }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap) { Change(wordWrap_, wrap); }
    bool GrayedInactive() const { return grayedInactive_; }
    void SetGrayedInactive(bool grayed);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout) { Change(layout_, layout); }
    int Margin() const { return margin_; }   // -1: glyph and caption centred
    void SetMargin(int margin) { Change(margin_, margin); }
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing) { Change(spacing_, spacing); }

    // Buttons of one group (not 0) on one parent: at most one is down; without AllowAllUp one stays down.
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int index);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool allow) { allowAllUp_ = allow; }
    bool Down() const { return isChecked(); }
    void SetDown(bool down);

    // Holding the button repeats its click, first after InitPause, then every RepeatInterval (milliseconds).
    bool AllowTimer() const { return autoRepeat(); }
    void SetAllowTimer(bool allow) { setAutoRepeat(allow); }
    int InitPause() const { return autoRepeatDelay(); }
    void SetInitPause(int ms) { setAutoRepeatDelay(ms); }
    int RepeatInterval() const { return autoRepeatInterval(); }
    void SetRepeatInterval(int ms) { setAutoRepeatInterval(ms); }

    TPopupMenu *DropDownMenu() const { return dropDownMenu_; }
    void SetDropDownMenu(TPopupMenu *menu);
    bool MarkDropDown() const { return markDropDown_; }
    void SetMarkDropDown(bool mark) { Change(markDropDown_, mark); }
    TDropDownMenuPosition MenuPosition() const { return menuPosition_; }
    void SetMenuPosition(TDropDownMenuPosition position) { menuPosition_ = position; }
    // Given to a dialog parent as its result when the button is clicked; 0 gives none.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    std::function<void()> OnClick;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

    TButtonState State() const;
    // The image drawn for a state; null without a glyph.
    QImage GlyphImage(TButtonState state) const;
    // The point, in button coordinates, that the drop-down menu is placed at.
    QPoint MenuPoint() const;
    bool MouseInControl() const { return mouseInControl_; }

    QSize sizeHint() const override { return {25, 25}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void nextCheckState() override;

private:
    // Stores a look property and repaints.
    template <class T>
    void Change(T &field, T value)
    {
        field = value;
        update();
    }
    void DropMenu();
    void Clicked();
    void ReleaseGroup();
    void UpdateMouseInControl(bool inside);
    void PrepareImages();
    void DrawMark(QPainter &painter, QPoint topLeft) const;

    QImage glyph_;
    int numGlyphs_ = 1;
    std::array<QImage, 5> images_;   // by TButtonState
    Qt::Alignment alignment_ = Qt::AlignHCenter;
    bool flat_ = false;
    bool transparent_ = false;
    bool wordWrap_ = false;
    bool grayedInactive_ = true;
    TButtonLayout layout_ = TButtonLayout::blGlyphTop;
    int margin_ = -1;
    int spacing_ = 1;
    int groupIndex_ = 0;
    bool allowAllUp_ = false;
    TPopupMenu *dropDownMenu_ = nullptr;
    QMetaObject::Connection menuGone_;   // clears the reference when the menu goes
    bool markDropDown_ = true;
    TDropDownMenuPosition menuPosition_ = TDropDownMenuPosition::dmpBottom;
    int modalResult_ = 0;
    bool menuOpen_ = false;
    bool mouseInControl_ = false;
};
