#include "TermLines.h"

#include "TermLog.h"
#include "common/ByteDisplay.h"
#include "platform/qt/Cp1252.h"

namespace {

constexpr char ESC = '\x1B', LF = '\n';
constexpr std::size_t kRecordLength = 4;   // ESC, two code bytes, the value byte

std::string displayForm(std::string_view bytes) { return BytesToDisplay(bytes, ""); }

} // namespace

TTermLines::TTermLines(TTermLog &log, QObject *parent) : QAbstractListModel(parent), log_(log) { beginLine(); }

void TTermLines::ShowRxChar(uint8_t b)
{
    const char c = char(b);
    if (c == ESC) {
        if (raw_.size() >= kRecordLength) EndLine();
        addByte(b);
    } else if (c == LF) {
        addByte(b);
        const bool shortEscReply = raw_.size() <= kRecordLength && raw_[0] == ESC;
        if (!shortEscReply) EndLine();
    } else {
        addByte(b);
    }
    if (raw_.size() == kRecordLength && raw_[0] == ESC)
        EndLine();
    else if (displayForm(raw_).size() >= LineWidth)
        EndLine();
}

void TTermLines::ShowSentLine(const std::string &bytes)
{
    lines_.back() = "TX: " + displayForm(bytes);
    lastLineChanged();
    beginLine();
}

void TTermLines::EndLine()
{
    raw_.clear();
    beginLine();
}

void TTermLines::Clear()
{
    beginResetModel();
    lines_.clear();
    endResetModel();
    beginLine();
}

void TTermLines::addByte(uint8_t b)
{
    if (lines_.back().empty()) lines_.back() = "RX: ";
    lines_.back() += displayForm(std::string(1, char(b)));
    raw_ += char(b);
    lastLineChanged();
    log_.ReceivedByte(b);
}

void TTermLines::beginLine()
{
    if (!lines_.empty()) log_.LineFinished(lines_.back());
    const int row = int(lines_.size());
    beginInsertRows(QModelIndex(), row, row);
    lines_.emplace_back();
    endInsertRows();
    if (lines_.size() > std::size_t(MaxLines)) {
        beginRemoveRows(QModelIndex(), 0, 0);
        lines_.pop_front();
        endRemoveRows();
    }
    emit LineBegun();
}

void TTermLines::lastLineChanged()
{
    const QModelIndex last = index(int(lines_.size()) - 1);
    emit dataChanged(last, last, {Qt::DisplayRole});
}

int TTermLines::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(lines_.size()); }

QVariant TTermLines::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(lines_.size())) return {};
    return FromCp1252(lines_[std::size_t(index.row())]);
}
