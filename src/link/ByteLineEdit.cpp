#include "ByteLineEdit.h"

#include "common/ByteDisplay.h"
#include "platform/qt/Cp1252.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

constexpr uint8_t BS = 8, CR = 13, ESC = 27;

QString displayForm(std::string_view bytes) { return FromCp1252(BytesToDisplay(bytes, "")); }

bool ctrlOnly(const QKeyEvent &e)
{
    const Qt::KeyboardModifiers mods = e.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::ControlModifier;
}

// The bytes a key press types. Control bytes come from the key itself, not from the platform's text.
std::string typedBytes(const QKeyEvent &e)
{
    const int key = e.key();
    if (ctrlOnly(e)) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) return std::string(1, char(key - Qt::Key_A + 1));
        if (key == Qt::Key_BracketLeft) return std::string(1, char(ESC));
        return {};
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return std::string(1, char(CR));
    case Qt::Key_Backspace: return std::string(1, char(BS));
    case Qt::Key_Escape: return std::string(1, char(ESC));
    default: break;
    }
    std::string bytes;
    for (QChar ch : e.text()) {
        if (ch.unicode() < 32 || ch.unicode() == 127) continue;
        const std::string b = ToCp1252(QString(ch));
        if (b != "?" || ch == QLatin1Char('?')) bytes += b;   // characters outside the code page are dropped
    }
    return bytes;
}

} // namespace

TByteLineEdit::TByteLineEdit(TKeys keys, QWidget *parent) : QLineEdit(parent), keys_(keys)
{
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setDragEnabled(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void TByteLineEdit::SetBytes(const std::string &bytes)
{
    bytes_ = bytes.substr(0, MaxBytes);
    cursor_ = bytes_.size();
    showBytes();
}

void TByteLineEdit::InsertByte(uint8_t b)
{
    if (bytes_.size() >= MaxBytes) return;
    bytes_.insert(cursor_, 1, char(b));
    ++cursor_;
    showBytes();
}

bool TByteLineEdit::event(QEvent *e)
{
    // The frame's shortcuts keep working while the line has the focus.
    if (e->type() == QEvent::ShortcutOverride) {
        e->ignore();
        return false;
    }
    return QLineEdit::event(e);
}

void TByteLineEdit::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_End: cursor_ = bytes_.size(); break;
    case Qt::Key_Home: cursor_ = 0; break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (cursor_ > 0) --cursor_;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (cursor_ < bytes_.size()) ++cursor_;
        break;
    case Qt::Key_Delete:
        if (cursor_ < bytes_.size()) bytes_.erase(cursor_, 1);
        break;
    default: {
        const std::string bytes = typedBytes(*e);
        if (bytes.empty()) return e->ignore();
        const bool ctrlHM = ctrlOnly(*e) && (e->key() == Qt::Key_H || e->key() == Qt::Key_M);
        for (char b : bytes) typed(uint8_t(b), ctrlHM);
    }
    }
    showBytes();
    e->accept();
}

void TByteLineEdit::typed(uint8_t b, bool ctrlHM)
{
    const bool command = keys_ == TKeys::Command;
    if (b == BS && !(command && ctrlHM)) {
        if (cursor_ > 0) bytes_.erase(--cursor_, 1);
    } else if (b == CR && command && !ctrlHM) {
        emit Entered();
    } else {
        InsertByte(b);
    }
}

void TByteLineEdit::mouseReleaseEvent(QMouseEvent *e)
{
    // No pasting of the selection: the line shows bytes, it does not hold typed text.
    if (e->button() == Qt::MiddleButton) return e->accept();
    QLineEdit::mouseReleaseEvent(e);
}

void TByteLineEdit::showBytes()
{
    setText(displayForm(bytes_));
    setCursorPosition(int(displayForm(std::string_view(bytes_).substr(0, cursor_)).size()));
}

QStringList ByteTableEntries()
{
    QStringList entries;
    for (int b = 0; b < 256; ++b)
        entries << QStringLiteral("%1: ").arg(b, 2, 16, QLatin1Char('0')).toUpper() + displayForm(std::string(1, char(b)));
    return entries;
}
