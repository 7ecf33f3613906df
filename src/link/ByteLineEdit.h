#pragma once
// A line editor for raw bytes: it keeps the bytes and an insertion point and shows the bytes' display form (a
// middle dot for each blank), never the typed characters themselves. Used by the Terminal's command line and
// by the macro editor.

#include <QLineEdit>
#include <QStringList>

#include <cstdint>
#include <string>

class TByteLineEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr std::size_t MaxBytes = 255;

    enum class TKeys {
        Command,   // CR (Enter) is emitted as Entered; Ctrl+H and Ctrl+M insert BS and CR
        Macro,     // every character, CR included, is inserted
    };

    explicit TByteLineEdit(TKeys keys, QWidget *parent = nullptr);

    const std::string &Bytes() const { return bytes_; }
    std::size_t Cursor() const { return cursor_; }
    // Replaces the bytes (cut to MaxBytes); the cursor goes to the end.
    void SetBytes(const std::string &bytes);
    // Inserts the byte before the cursor's byte (appends at the end); the cursor moves one on. Nothing is added
    // to a full line.
    void InsertByte(uint8_t b);

signals:
    // CR typed on a command line without Ctrl+M.
    void Entered();

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void typed(uint8_t b, bool ctrlHeld);
    void showBytes();

    TKeys keys_;
    std::string bytes_;
    std::size_t cursor_ = 0;
};

// The 256 entries of a byte table: two upper-case hex digits, ": " and the byte's display form ("1B: <ESC>").
QStringList ByteTableEntries();
