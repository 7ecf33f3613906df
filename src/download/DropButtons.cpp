#include "DropButtons.h"

#include "platform/ErrorReport.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>

namespace {

constexpr int MarkWidth = 7;
constexpr int MarkHeight = 4;
constexpr int MarkGap = 3;

// The system's button colours, whatever state the button is in.
QColor SystemColour(const QWidget &widget, QPalette::ColorRole role) { return widget.palette().color(QPalette::Active, role); }

bool IsShape(QRgb pixel, QRgb transparent) { return pixel != transparent && qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)) != qRgb(255, 255, 255); }

// The slice with its transparent colour cleared.
QImage Cleared(const QImage &slice, QRgb transparent)
{
    QImage out = slice.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (slice.pixel(x, y) == transparent)
                out.setPixel(x, y, qRgba(0, 0, 0, 0));
    return out;
}

// The shape of the image (every pixel but the transparent colour and white) in the highlight colour one pixel
// down and right, and in the shadow colour on top.
QImage Embossed(const QImage &slice, QRgb transparent, QRgb light, QRgb shadow)
{
    QImage out(slice.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    for (int y = 0; y + 1 < slice.height(); ++y)
        for (int x = 0; x + 1 < slice.width(); ++x)
            if (IsShape(slice.pixel(x, y), transparent))
                out.setPixel(x + 1, y + 1, light);
    for (int y = 0; y < slice.height(); ++y)
        for (int x = 0; x < slice.width(); ++x)
            if (IsShape(slice.pixel(x, y), transparent))
                out.setPixel(x, y, shadow);
    return out;
}

// Every colour but the transparent one and the button face in its grey level.
QImage Greyed(const QImage &slice, QRgb transparent, QRgb face)
{
    QImage out = Cleared(slice, transparent);
    for (int y = 0; y < slice.height(); ++y)
        for (int x = 0; x < slice.width(); ++x) {
            const QRgb p = slice.pixel(x, y);
            if (p == transparent || p == face)
                continue;
            const int grey = (77 * qRed(p) + 150 * qGreen(p) + 29 * qBlue(p)) / 256;
            out.setPixel(x, y, qRgb(grey, grey, grey));
        }
    return out;
}

} // namespace

QPoint TPopupMenu::PlaceAt(QPoint screenPoint) const
{
    const int width = sizeHint().width();
    switch (Alignment) {
    case TPopupAlignment::paRight: return screenPoint - QPoint(width, 0);
    case TPopupAlignment::paCenter: return screenPoint - QPoint(width / 2, 0);
    default: return screenPoint;
    }
}

void TPopupMenu::Popup(QPoint screenPoint)
{
    if (OnPopup)
        OnPopup();
    exec(PlaceAt(screenPoint));
}

TDropSpeedButton::TDropSpeedButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    resize(25, 25);
    connect(this, &QAbstractButton::clicked, this, [this] { Clicked(); });
    connect(this, &QAbstractButton::toggled, this, [this](bool down) {
        if (down)
            ReleaseGroup();
        update();
    });
}

void TDropSpeedButton::SetCaption(const QString &caption)
{
    setText(caption);   // also makes the "&" key a shortcut that clicks the button
    update();
}

void TDropSpeedButton::SetGlyph(const QImage &glyph)
{
    glyph_ = glyph;
    if (!glyph_.isNull() && glyph_.height() > 0 && glyph_.width() % glyph_.height() == 0) {
        const int multiple = glyph_.width() / glyph_.height();
        numGlyphs_ = multiple > 5 ? 1 : multiple;
    }
    PrepareImages();
    update();
}

void TDropSpeedButton::SetNumGlyphs(int count)
{
    numGlyphs_ = std::clamp(count, 1, 5);
    PrepareImages();
    update();
}

void TDropSpeedButton::SetGrayedInactive(bool grayed)
{
    grayedInactive_ = grayed;
    PrepareImages();
    update();
}

void TDropSpeedButton::SetGroupIndex(int index)
{
    groupIndex_ = index;
    setCheckable(index != 0);
}

void TDropSpeedButton::SetDown(bool down)
{
    if (groupIndex_ == 0 || down == isChecked() || (!down && !allowAllUp_))
        return;
    setChecked(down);
}

void TDropSpeedButton::SetDropDownMenu(TPopupMenu *menu)
{
    disconnect(menuGone_);
    dropDownMenu_ = menu;
    if (menu)
        menuGone_ = connect(menu, &QObject::destroyed, this, [this] { dropDownMenu_ = nullptr; });
    update();
}

TButtonState TDropSpeedButton::State() const
{
    if (!isEnabled())
        return TButtonState::bsDisabled;
    if (isDown())
        return TButtonState::bsDown;
    if (isChecked())
        return TButtonState::bsExclusive;
    if (flat_ && !mouseInControl_)
        return TButtonState::bsInactive;
    return TButtonState::bsUp;
}

QImage TDropSpeedButton::GlyphImage(TButtonState state) const { return images_[std::size_t(state)]; }

QPoint TDropSpeedButton::MenuPoint() const
{
    const TPopupAlignment alignment = dropDownMenu_ ? dropDownMenu_->Alignment : TPopupAlignment::paLeft;
    if (menuPosition_ == TDropDownMenuPosition::dmpBottom) {
        switch (alignment) {
        case TPopupAlignment::paRight: return {width() + 1, height()};
        case TPopupAlignment::paCenter: return {width() / 2, height()};
        default: return {-1, height()};
        }
    }
    switch (alignment) {
    case TPopupAlignment::paRight: return {-1, -1};
    case TPopupAlignment::paCenter: return {width() / 2, height()};
    default: return {width(), -1};
    }
}

void TDropSpeedButton::PrepareImages()
{
    images_ = {};
    if (glyph_.isNull())
        return;
    const int width = glyph_.width() / numGlyphs_, height = glyph_.height();
    const QRgb transparent = glyph_.pixel(0, height - 1);
    auto slice = [&](int i) { return glyph_.copy(i * width, 0, width, height); };
    const QImage up = slice(0);
    auto state = [&](TButtonState s) -> QImage & { return images_[std::size_t(s)]; };
    state(TButtonState::bsUp) = Cleared(up, transparent);
    state(TButtonState::bsDisabled) =
        numGlyphs_ > 1 ? Cleared(slice(1), transparent)
                       : Embossed(up, transparent, SystemColour(*this, QPalette::Light).rgb(),
                                  SystemColour(*this, QPalette::Dark).rgb());
    state(TButtonState::bsDown) = numGlyphs_ > 2 ? Cleared(slice(2), transparent) : state(TButtonState::bsUp);
    state(TButtonState::bsExclusive) = numGlyphs_ > 3 ? Cleared(slice(3), transparent) : state(TButtonState::bsUp);
    if (numGlyphs_ > 4)
        state(TButtonState::bsInactive) = Cleared(slice(4), transparent);
    else if (grayedInactive_)
        state(TButtonState::bsInactive) = Greyed(up, transparent, SystemColour(*this, QPalette::Button).rgb());
    else
        state(TButtonState::bsInactive) = state(TButtonState::bsUp);
}

void TDropSpeedButton::DrawMark(QPainter &painter, QPoint topLeft) const
{
    auto triangle = [&](QPoint at, const QColor &colour) {
        painter.setPen(colour);
        for (int row = 0; row < MarkHeight; ++row)
            painter.drawLine(at.x() + row, at.y() + row, at.x() + MarkWidth - 1 - row, at.y() + row);
    };
    if (isEnabled()) {
        triangle(topLeft, SystemColour(*this, QPalette::ButtonText));
    } else {
        triangle(topLeft + QPoint(1, 1), SystemColour(*this, QPalette::Light));
        triangle(topLeft, SystemColour(*this, QPalette::Dark));
    }
}

void TDropSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPalette pal = palette();
    pal.setCurrentColorGroup(QPalette::Active);   // the system's colours, whatever state the button is in
    const TButtonState state = State();
    const bool sunken = state == TButtonState::bsDown || state == TButtonState::bsExclusive;
    if (!transparent_)
        painter.fillRect(rect(), SystemColour(*this, QPalette::Button));
    if (!flat_ || sunken || (mouseInControl_ && isEnabled())) {   // a flat button shows a frame only under the mouse
        if (flat_)
            qDrawShadeRect(&painter, rect(), pal, sunken, 1);
        else
            qDrawWinButton(&painter, rect(), pal, sunken);
    }
    if (state == TButtonState::bsExclusive && !transparent_)
        painter.fillRect(rect().adjusted(2, 2, -2, -2), QBrush(SystemColour(*this, QPalette::Light), Qt::Dense4Pattern));
    if (hasFocus()) {   // where the keyboard stands
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
    if (sunken)
        painter.translate(1, 1);

    // Glyph, caption and mark, laid out in the client area.
    const QRect client = rect().adjusted(2, 2, -2, -2);
    const QImage image = GlyphImage(state);
    const QSize glyph = image.isNull() ? QSize(0, 0) : image.size();
    const bool mark = markDropDown_ && dropDownMenu_;
    const int markSpace = mark ? MarkWidth + MarkGap : 0;
    const bool across = layout_ == TButtonLayout::blGlyphLeft || layout_ == TButtonLayout::blGlyphRight;
    const int textFlags = Qt::TextShowMnemonic | (wordWrap_ ? Qt::TextWordWrap : Qt::TextSingleLine);
    int textRoom = client.width() - markSpace - (across ? glyph.width() : 0);
    const QFontMetrics metrics(font());
    const QString caption = wordWrap_ ? text() : metrics.elidedText(text(), Qt::ElideRight, std::max(textRoom, 0), textFlags);
    QSize textSize = caption.isEmpty() ? QSize(0, 0)
                                       : metrics.boundingRect(QRect(0, 0, std::max(textRoom, 1), client.height()), textFlags, caption).size();
    const int spacing = (glyph.isEmpty() || textSize.isEmpty()) ? 0 : spacing_;
    const QSize total(across ? glyph.width() + spacing + textSize.width() : std::max(glyph.width(), textSize.width()),
                      across ? std::max(glyph.height(), textSize.height()) : glyph.height() + spacing + textSize.height());
    const int margin = margin_ >= 0 ? margin_ : across ? (client.width() - markSpace - total.width()) / 2 : (client.height() - total.height()) / 2;
    QPoint glyphAt, textAt;
    const int glyphMidX = client.left() + (client.width() - markSpace - glyph.width()) / 2;
    const int textMidX = client.left() + (client.width() - markSpace - textSize.width()) / 2;
    switch (layout_) {
    case TButtonLayout::blGlyphLeft:
        glyphAt = {client.left() + margin, client.top() + (client.height() - glyph.height()) / 2};
        textAt = {glyphAt.x() + glyph.width() + spacing, client.top() + (client.height() - textSize.height()) / 2};
        break;
    case TButtonLayout::blGlyphRight:
        glyphAt = {client.right() + 1 - markSpace - margin - glyph.width(), client.top() + (client.height() - glyph.height()) / 2};
        textAt = {glyphAt.x() - spacing - textSize.width(), client.top() + (client.height() - textSize.height()) / 2};
        break;
    case TButtonLayout::blGlyphTop:
        glyphAt = {glyphMidX, client.top() + margin};
        textAt = {textMidX, glyphAt.y() + glyph.height() + spacing};
        break;
    case TButtonLayout::blGlyphBottom:
        glyphAt = {glyphMidX, client.bottom() + 1 - margin - glyph.height()};
        textAt = {textMidX, glyphAt.y() - spacing - textSize.height()};
        break;
    }
    if (!image.isNull())
        painter.drawImage(glyphAt, image);
    if (!caption.isEmpty()) {
        const QRect textRect(textAt, textSize);
        const int flags = textFlags | int(alignment_ & Qt::AlignHorizontal_Mask) | Qt::AlignTop;
        if (isEnabled()) {
            painter.setPen(SystemColour(*this, QPalette::ButtonText));
            painter.drawText(textRect, flags, caption);
        } else {
            painter.setPen(SystemColour(*this, QPalette::Light));
            painter.drawText(textRect.translated(1, 1), flags, caption);
            painter.setPen(SystemColour(*this, QPalette::Dark));
            painter.drawText(textRect, flags, caption);
        }
    }
    if (mark) {
        const int markY = (height() - MarkHeight) / 2;
        if (!image.isNull())
            DrawMark(painter, {glyphAt.x() + glyph.width() + MarkGap, markY});
        else if (!caption.isEmpty())
            DrawMark(painter, {textAt.x() + textSize.width() + MarkGap, markY});
        else
            DrawMark(painter, {(width() - MarkWidth) / 2, markY});
    }
}

void TDropSpeedButton::mousePressEvent(QMouseEvent *event)
{
    if (menuOpen_) {
        event->accept();   // the click that closed the menu does not drop it again
        return;
    }
    if (event->button() == Qt::RightButton)
        UpdateMouseInControl(rect().contains(event->position().toPoint()));
    if (event->button() == Qt::LeftButton && dropDownMenu_) {
        event->accept();
        DropMenu();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void TDropSpeedButton::mouseDoubleClickEvent(QMouseEvent *event) { mousePressEvent(event); }

void TDropSpeedButton::keyPressEvent(QKeyEvent *event)
{
    // From the keyboard the menu drops as a combo box's list does: Space, F4, Alt+Down.
    const bool drop = event->key() == Qt::Key_Space || event->key() == Qt::Key_F4 ||
                      (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier));
    if (dropDownMenu_ && drop && !event->isAutoRepeat()) {
        event->accept();
        DropMenu();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void TDropSpeedButton::DropMenu()
{
    QPointer<TDropSpeedButton> self(this);
    menuOpen_ = true;
    setDown(true);
    ReportErrors([&] { dropDownMenu_->Popup(mapToGlobal(MenuPoint())); });
    if (!self)
        return;
    menuOpen_ = false;
    setDown(false);   // released without a click
}

void TDropSpeedButton::Clicked()
{
    const bool ok = ReportErrors([this] {
        if (OnClick)
            OnClick();
    });
    if (!ok) {
        setDown(false);   // ends a repeat
        return;
    }
    if (modalResult_ != 0)
        if (auto *dialog = qobject_cast<QDialog *>(window()); dialog)
            dialog->done(modalResult_);
}

void TDropSpeedButton::nextCheckState()
{
    if (isChecked() && !allowAllUp_)
        return;   // the last button down in its group stays down
    setChecked(!isChecked());
}

void TDropSpeedButton::ReleaseGroup()
{
    if (groupIndex_ == 0 || !parentWidget())
        return;
    for (TDropSpeedButton *other : parentWidget()->findChildren<TDropSpeedButton *>(Qt::FindDirectChildrenOnly))
        if (other != this && other->groupIndex_ == groupIndex_ && other->isChecked())
            other->setChecked(false);
}

void TDropSpeedButton::UpdateMouseInControl(bool inside)
{
    inside = inside && QApplication::activeWindow() != nullptr;
    if (inside == mouseInControl_)
        return;
    mouseInControl_ = inside;
    update();
    const std::function<void()> &event = inside ? OnMouseEnter : OnMouseLeave;
    if (event)
        ReportErrors(event);
}

void TDropSpeedButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    UpdateMouseInControl(true);
}

void TDropSpeedButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    UpdateMouseInControl(false);
}

void TDropSpeedButton::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        UpdateMouseInControl(underMouse());
    else if (event->type() == QEvent::PaletteChange)
        PrepareImages();
}

void TDropSpeedButton::showEvent(QShowEvent *event)
{
    QAbstractButton::showEvent(event);
    UpdateMouseInControl(underMouse());
}
