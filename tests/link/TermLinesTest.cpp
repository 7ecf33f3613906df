#include "TempDir.h"
#include "link/TermLines.h"
#include "link/TermLog.h"

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

using namespace std::string_literals;

namespace {

using Lines = std::deque<std::string>;
const std::string Dot = "\xB7";

std::string repeat(const std::string &text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

void receive(TTermLines &lines, const std::string &bytes)
{
    for (char c : bytes) lines.ShowRxChar(uint8_t(c));
}

} // namespace

TEST(TermLines, ReceivedBytesAreBrokenAtRecordsLineEndsAndFortyCharacters)
{
    struct Case {
        const char *name;
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"a record stands on a line of its own", "\x1B" "abv" "x", {"RX: <ESC>abv", "RX: x"}},
        {"a text reply ends at its LF, CR and LF shown", "hi there\r\n", {"RX: hi" + Dot + "there<CR><LF>", ""}},
        {"an ESC reply shorter than 4 bytes keeps its line end", "\x1BH\r\nz", {"RX: <ESC>H<CR><LF>", "RX: z"}},
        {"ESC a LF does not end the line", "\x1B" "a\n", {"RX: <ESC>a<LF>"}},
        {"ESC ends a line of 4 bytes or more", "abcd\x1B" "e", {"RX: abcd", "RX: <ESC>e"}},
        {"ESC joins a shorter line", "ab\x1B", {"RX: ab<ESC>"}},
        {"40 plain bytes fill a line, the 41st begins the next", std::string(41, 'x'),
         {"RX: " + std::string(40, 'x'), "RX: x"}},
        {"named bytes count by their display characters", std::string(8, '\x01'),
         {"RX: " + repeat("<SOH>", 8), ""}},
        {"a dump: records, then an empty line", "\x1BL\r\n\x1B" "AB\x00\x1B" "AC\x01\r\n"s,
         {"RX: <ESC>L<CR><LF>", "RX: <ESC>AB<NUL>", "RX: <ESC>AC<SOH>", "RX: <CR><LF>", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TTermLog log;
        TTermLines lines(log);
        receive(lines, c.bytes);
        EXPECT_EQ(lines.Lines(), c.lines);
    }
}

TEST(TermLines, ASentLineReplacesTheLastLineAndTheNextByteBeginsAnRxLine)
{
    TTermLog log;
    TTermLines lines(log);
    receive(lines, "M100 V1");
    lines.ShowSentLine("\x1B[D ");
    EXPECT_EQ(lines.Lines(), (Lines {"TX: <ESC>[D" + Dot, ""}));
    EXPECT_EQ(lines.RawLine(), "M100 V1");   // not emptied: the next ESC finds it and ends a line
    receive(lines, "\x1BL");
    EXPECT_EQ(lines.Lines(), (Lines {"TX: <ESC>[D" + Dot, "", "RX: <ESC>L"}));
}

TEST(TermLines, KeepsAtMost300LinesAndTellsTheView)
{
    TTermLog log;
    TTermLines lines(log);
    int begun = 0, removed = 0;
    QObject::connect(&lines, &TTermLines::LineBegun, [&] { ++begun; });
    QObject::connect(&lines, &QAbstractItemModel::rowsRemoved, [&] { ++removed; });
    for (int i = 1; i <= 300; ++i) receive(lines, "L" + std::to_string(i) + "\n");
    EXPECT_EQ(lines.rowCount(), 300);
    EXPECT_EQ(lines.Lines().front(), "RX: L2<LF>");
    EXPECT_EQ(begun, 300);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(lines.data(lines.index(298), Qt::DisplayRole).toString(), "RX: L300<LF>");

    lines.Clear();
    EXPECT_EQ(lines.Lines(), Lines {""});
}

TEST(TermLines, PlainLogTakesTheBytesExtendedLogTheFinishedLines)
{
    testsupport::TempDir dir;
    const std::string traffic = std::string("\x1B" "abv" "hi\r\n") + "\x1BH";
    for (TTermLog::TKind kind : {TTermLog::TKind::Plain, TTermLog::TKind::Extended}) {
        TTermLog log;
        TTermLines lines(log);
        receive(lines, "before\n");
        log.Open(kind, dir.file("term.log"));
        receive(lines, traffic);
        lines.ShowSentLine("\x1B[C");
        const std::string whileOpen = dir.read("term.log");
        log.Close();
        if (kind == TTermLog::TKind::Plain) {
            EXPECT_EQ(whileOpen, traffic);   // written at once: nothing waits in a buffer
        } else {
            // The open line "RX: <ESC>H" was replaced by the sent line, and the line being written is not logged.
            EXPECT_EQ(whileOpen, "RX: <ESC>abv\r\nRX: hi<CR><LF>\r\nTX: <ESC>[C\r\n");
        }
    }
}

TEST(TermLines, AFailedLogWriteClosesTheLogAndIsReportedOnce)
{
    for (TTermLog::TKind kind : {TTermLog::TKind::Plain, TTermLog::TKind::Extended}) {
        TTermLog log;
        TTermLines lines(log);
        std::vector<std::string> failures;
        log.OnWriteError = [&](TTermLog::TKind failed, const std::string &message) {
            EXPECT_EQ(failed, kind);
            failures.push_back(message);
        };
        log.Open(kind, "/dev/full");
        EXPECT_NO_THROW(receive(lines, "abc\nabc\n"));
        EXPECT_EQ(failures.size(), 1u);
        EXPECT_FALSE(log.IsOpen(kind));
        EXPECT_EQ(lines.Lines().size(), 3u);
        EXPECT_NO_THROW(log.Close());
    }
}

TEST(TermLog, ALogThatCannotBeCreatedRaisesAndStaysClosed)
{
    TTermLog log;
    EXPECT_THROW(log.Open(TTermLog::TKind::Plain, "/no/such/folder/x.log"), std::runtime_error);
    EXPECT_EQ(log.Kind(), TTermLog::TKind::None);
}
