#include "replies/history_model.h"

namespace tesvaron {

namespace {

// Forces a quotient through a 32-bit store, as the texts are computed.
float stored(float value)
{
    volatile float s = value;
    return s;
}

float currentAmperes(std::uint16_t raw, std::uint8_t code)
{
    const float value = static_cast<float>(raw);
    if (code == 1) return stored(value / 10.0f);
    if (code == 2) return stored(value / 100.0f);
    return value;
}

Measurement measurement(std::uint16_t rawVolt, std::uint16_t rawCurrent, std::uint8_t code,
                        MeasureTexts texts, float lineFactor)
{
    Measurement m;
    m.groundKv = stored(static_cast<float>(rawVolt) / 10.0f);
    m.lineKv = lineVoltageClass(stored(stored(m.groundKv * lineFactor) * 1.732f));
    m.currentA = currentAmperes(rawCurrent, code);
    m.texts = std::move(texts);
    return m;
}

} // namespace

Measurement realtimeMeasurement(const RealtimeValue& value)
{
    Measurement m = measurement(value.rawVolt, value.rawCurrent, value.code,
                                realtimeTexts(value.rawVolt, value.rawCurrent, value.code), 1.73f);
    m.overRange = m.texts.ground == OverRangeText;
    return m;
}

Measurement historyMeasurement(const HistoryRecord& record)
{
    return measurement(record.rawVolt, record.rawCurrent, record.code,
                       historyTexts(record.rawVolt, record.rawCurrent, record.code), 1.732f);
}

void HistoryModel::clear()
{
    rows_.fill(std::nullopt);
}

void HistoryModel::setRow(int no, const Measurement& value)
{
    if (no >= 1 && no <= RecordRows) rows_[std::size_t(no - 1)] = value;
}

const Measurement* HistoryModel::value(int no) const
{
    if (no < 1 || no > RecordRows) return nullptr;
    const auto& row = rows_[std::size_t(no - 1)];
    return row ? &*row : nullptr;
}

QString HistoryModel::cell(int row, int column) const
{
    if (column < 0 || column >= Columns) return {};
    if (row == 0) return HistoryTitles[column];
    if (column == 0) return row <= RecordRows ? QString::number(row) : QString();
    const Measurement* m = value(row);
    if (!m) return {};
    return column == 1 ? m->texts.ground : column == 2 ? m->texts.line : m->texts.current;
}

QList<HistoryRow> HistoryModel::rows() const
{
    QList<HistoryRow> out;
    for (int no = 1; no <= RecordRows; ++no)
        if (const Measurement* m = value(no)) out.append({no, *m});
    return out;
}

QList<HistoryRow> HistoryModel::writeBlock(const ReplyFrameBytes& frame, int rowOffset, int count)
{
    QList<HistoryRow> written;
    for (int i = 0; i < count && rowOffset + i < RecordRows; ++i) {
        const HistoryRow row{rowOffset + i + 1, historyMeasurement(historyRecord(frame, i))};
        setRow(row.no, row.value);
        written.append(row);
    }
    return written;
}

} // namespace tesvaron
