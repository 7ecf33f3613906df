#pragma once
// What the Terminal shows: at most 300 display lines, the last one being written. Received bytes are broken
// into lines by the reader protocol's own structure: a configuration record (ESC and three bytes) stands on a
// line of its own, a text line ends at its LF, and long runs are broken every 40 display characters.

#include <QAbstractListModel>

#include <cstdint>
#include <deque>
#include <string>

class TTermLog;

class TTermLines : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int MaxLines = 300;
    static constexpr std::size_t LineWidth = 40;   // display characters that end a line

    // The log gets every received byte and every finished line.
    explicit TTermLines(TTermLog &log, QObject *parent = nullptr);

    // Display form: the byte display with a middle dot for each blank. Lines read "RX: " or "TX: " and the
    // display form of their bytes.
    const std::deque<std::string> &Lines() const { return lines_; }
    // The bytes received since the current line began.
    const std::string &RawLine() const { return raw_; }

    void ShowRxChar(uint8_t b);
    // Replaces the last line by "TX: " and the display form of the bytes, then begins a new line.
    void ShowSentLine(const std::string &bytes);
    // Empties the raw line and begins a new line.
    void EndLine();
    // Empties the display and begins a new line.
    void Clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

signals:
    // A new last line was added.
    void LineBegun();

private:
    void addByte(uint8_t b);
    void beginLine();
    void lastLineChanged();

    TTermLog &log_;
    std::deque<std::string> lines_;
    std::string raw_;
};
