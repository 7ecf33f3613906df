#include "KeyInput.h"
#include "link/ByteLineEdit.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using TKeys = TByteLineEdit::TKeys;

struct KeyCase {
    const char *name;
    TKeys keys;
    std::function<void(QWidget *)> input;
    std::string bytes;
    std::size_t cursor;
    QString shown;
    int entered;
};

void keys(QWidget *w, std::initializer_list<int> list)
{
    for (int k : list) pressKey(w, k);
}

} // namespace

TEST(ByteLineEdit, KeysEditTheBytesAndTheLineShowsTheirDisplayForm)
{
    const KeyCase cases[] = {
        {"Ctrl+M inserts CR on a command line", TKeys::Command,
         [](QWidget *w) { typeText(w, "AB"); pressCtrl(w, 'M'); }, "AB\r", 3, "AB<CR>", 0},
        {"Enter on a command line is emitted, not inserted", TKeys::Command,
         [](QWidget *w) { typeText(w, "AB"); keys(w, {Qt::Key_Return}); }, "AB", 2, "AB", 1},
        {"Ctrl+H inserts BS on a command line", TKeys::Command,
         [](QWidget *w) { typeText(w, "A"); pressCtrl(w, 'H'); }, "A\b", 2, "A<BS>", 0},
        {"Backspace deletes the byte before the cursor", TKeys::Command,
         [](QWidget *w) { typeText(w, "ABC"); keys(w, {Qt::Key_Left, Qt::Key_Backspace}); }, "AC", 1, "AC", 0},
        {"Ctrl+H deletes in a macro", TKeys::Macro,
         [](QWidget *w) { typeText(w, "AB"); pressCtrl(w, 'H'); }, "A", 1, "A", 0},
        {"Enter inserts CR in a macro", TKeys::Macro,
         [](QWidget *w) { typeText(w, "X"); keys(w, {Qt::Key_Enter}); }, "X\r", 2, "X<CR>", 0},
        {"Home and End; a byte goes before the cursor's byte", TKeys::Command,
         [](QWidget *w) { typeText(w, "BC"); keys(w, {Qt::Key_Home}); typeText(w, "A"); keys(w, {Qt::Key_End}); typeText(w, "D"); },
         "ABCD", 4, "ABCD", 0},
        {"Left and Up stop at the start, Right and Down at the end", TKeys::Command,
         [](QWidget *w) {
             typeText(w, "AB");
             keys(w, {Qt::Key_Left, Qt::Key_Up, Qt::Key_Left, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Left});
         },
         "AB", 1, "AB", 0},
        {"Delete removes the byte after the cursor, nothing at the end", TKeys::Macro,
         [](QWidget *w) { typeText(w, "ABC"); keys(w, {Qt::Key_Delete, Qt::Key_Home, Qt::Key_Delete}); }, "BC", 0, "BC", 0},
        {"Ctrl+letters give their control bytes", TKeys::Command,
         [](QWidget *w) { pressCtrl(w, 'A'); pressCtrl(w, 'V'); pressKey(w, Qt::Key_BracketLeft, Qt::ControlModifier); },
         "\x01\x16\x1B", 3, "<SOH><SYN><ESC>", 0},
        {"Escape is a byte; a blank shows as a middle dot", TKeys::Macro,
         [](QWidget *w) { keys(w, {Qt::Key_Escape}); typeText(w, " a"); }, "\x1B a", 3, "<ESC>\u00B7a", 0},
        {"Characters outside the code page are dropped", TKeys::Macro,
         [](QWidget *w) { pressKey(w, 0, Qt::NoModifier, QStringLiteral("\u00E9\u20AC\u03A9")); }, "\xE9\x80", 2,
         "<$E9><$80>", 0},
    };
    for (const KeyCase &c : cases) {
        SCOPED_TRACE(c.name);
        TByteLineEdit edit(c.keys);
        int entered = 0;
        QObject::connect(&edit, &TByteLineEdit::Entered, [&] { ++entered; });
        c.input(&edit);
        EXPECT_EQ(edit.Bytes(), c.bytes);
        EXPECT_EQ(edit.Cursor(), c.cursor);
        EXPECT_EQ(edit.text(), c.shown);
        EXPECT_EQ(entered, c.entered);
    }
}

TEST(ByteLineEdit, TheCaretStandsAfterTheDisplayFormOfTheBytesBeforeTheCursor)
{
    TByteLineEdit edit(TKeys::Command);
    edit.SetBytes("\x1B" "a b");
    EXPECT_EQ(edit.cursorPosition(), 8);   // <ESC>a·b
    pressKey(&edit, Qt::Key_Left);
    pressKey(&edit, Qt::Key_Left);
    EXPECT_EQ(edit.cursorPosition(), 6);   // <ESC>a
    pressKey(&edit, Qt::Key_Home);
    pressKey(&edit, Qt::Key_Right);
    EXPECT_EQ(edit.cursorPosition(), 5);
}

TEST(ByteLineEdit, HoldsAtMost255Bytes)
{
    TByteLineEdit edit(TKeys::Macro);
    edit.SetBytes(std::string(300, 'a'));
    EXPECT_EQ(edit.Bytes().size(), 255u);
    edit.SetBytes(std::string(254, 'a'));
    typeText(&edit, "bc");
    EXPECT_EQ(edit.Bytes(), std::string(254, 'a') + "b");
    edit.InsertByte('d');
    EXPECT_EQ(edit.Bytes().size(), 255u);
}

TEST(ByteLineEdit, LeavesTheFramesShortcutsAndUnknownKeysAlone)
{
    TByteLineEdit edit(TKeys::Command);
    QKeyEvent copy(QEvent::ShortcutOverride, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(&edit, &copy);
    EXPECT_FALSE(copy.isAccepted());
    EXPECT_FALSE(pressKey(&edit, Qt::Key_F5));
    EXPECT_FALSE(pressKey(&edit, Qt::Key_Shift, Qt::ShiftModifier));
    EXPECT_TRUE(edit.Bytes().empty());
}

TEST(ByteLineEdit, ByteTableNamesEveryByte)
{
    const QStringList entries = ByteTableEntries();
    ASSERT_EQ(entries.size(), 256);
    EXPECT_EQ(entries[0x00], "00: <NUL>");
    EXPECT_EQ(entries[0x1B], "1B: <ESC>");
    EXPECT_EQ(entries[0x20], "20: \u00B7");
    EXPECT_EQ(entries[0x41], "41: A");
    EXPECT_EQ(entries[0x7F], "7F: <DEL>");
    EXPECT_EQ(entries[0xE9], "E9: <$E9>");
}
