#pragma once
// Byte layouts of the saved text files. Both are GBK (code page 936), CR LF line ends,
// no byte-order mark, no quoting.
//
// Realtime text file, three lines, each ended by CR LF:
//   "    对地电压    "            + voltage-to-ground caption
//   "         线电压    "         + line-voltage caption
//   "         电     流    "      + current caption
//
// History text file: the header line
//   5 spaces "NO." 5 spaces "对地电压" 5 spaces "线电压" 5 spaces "电    流" CR LF
// then for rows 1..99: advance to column 10, cell 0; column 18, cell 1; column 30, cell 2;
// column 42, cell 3. "Advance to column n" pads with spaces to n - 1 characters, writes nothing
// when the line holds exactly n - 1, and otherwise starts a new line (CR LF) with n - 1 spaces.
// No CR LF after the last row.

#include "replies/history_model.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace tesvaron {

// 1-based start columns of the four cells of a history row, in the text file and the printout.
inline constexpr int HistoryCellColumns[4] = {10, 18, 30, 42};

QByteArray toGbk(const QString& text);

QByteArray realtimeTextFile(const QString& ground, const QString& line, const QString& current);

// cell(row, column) for rows 1..99 and columns 0..3 of the history table.
using CellReader = std::function<QString(int row, int column)>;
QByteArray historyTextFile(const CellReader& cell);
QByteArray historyTextFile(const HistoryModel& model);

} // namespace tesvaron
