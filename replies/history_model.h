#pragma once
// The history table as values: 99 numbered record rows, each empty or holding one measurement
// with its numbers and its texts. The window's grid draws it; its files, printout and
// tesvaron-cli read it. Also the builders that turn a reply's raw values into a Measurement.

#include "replies/measurements.h"
#include "replies/reply_frame.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace tesvaron {

// The table's column titles, as the grid shows them and its workbook keeps them.
inline const QString HistoryTitles[4] = {QStringLiteral("NO."), QStringLiteral("对地电压"),
                                         QStringLiteral("    线电压  "),
                                         QStringLiteral("   电      流")};

// A realtime reply's values: from 600 kV all three texts read "NO--" and overRange is set.
Measurement realtimeMeasurement(const RealtimeValue& value);
// A history record's values (no over-range rule).
Measurement historyMeasurement(const HistoryRecord& record);

class HistoryModel
{
public:
    static constexpr int RecordRows = 99; // rows 1..99; row 0 holds the titles
    static constexpr int Columns = 4;     // NO., voltage to ground, line voltage, current

    // Every record row empty again.
    void clear();
    // Row `no` (1..99) holds `value`; other numbers are ignored.
    void setRow(int no, const Measurement& value);
    // The record in row `no`, when that row holds one.
    const Measurement* value(int no) const;
    // The table's text at (row 0..99, column 0..3): titles in row 0, the row's number in
    // column 0, the record's texts in columns 1..3, empty for an empty row.
    QString cell(int row, int column) const;
    // The rows that hold a record, in order.
    QList<HistoryRow> rows() const;

    // The `count` records of a history block into rows rowOffset + 1 on (never past row 99);
    // returns the rows written.
    QList<HistoryRow> writeBlock(const ReplyFrameBytes& frame, int rowOffset, int count);

private:
    std::array<std::optional<Measurement>, RecordRows> rows_;
};

} // namespace tesvaron
