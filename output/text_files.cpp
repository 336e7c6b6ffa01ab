#include "output/text_files.h"

namespace tesvaron {

namespace {

const QString kGroundTitle = QStringLiteral("    对地电压    ");
const QString kLineTitle = QStringLiteral("         线电压    ");
const QString kCurrentTitle = QStringLiteral("         电     流    ");

const QString kHistoryHeader = QStringLiteral("     NO.     对地电压     线电压     电    流");

const QString kCrLf = QStringLiteral("\r\n");

// Builds text one line at a time so that column positions are counted in characters, the way
// the fixed-column layout is defined, not in GBK bytes.
class ColumnWriter
{
public:
    void advanceTo(int column)
    {
        const int wanted = column - 1;
        if (m_lineLength > wanted) {
            m_text += kCrLf;
            m_lineLength = 0;
        }
        if (m_lineLength < wanted) {
            m_text += QString(wanted - m_lineLength, QLatin1Char(' '));
            m_lineLength = wanted;
        }
    }

    void write(const QString& text)
    {
        m_text += text;
        m_lineLength += int(text.size());
    }

    void endLine()
    {
        m_text += kCrLf;
        m_lineLength = 0;
    }

    const QString& text() const { return m_text; }

private:
    QString m_text;
    int m_lineLength = 0;
};

} // namespace

QByteArray realtimeTextFile(const QString& ground, const QString& line, const QString& current)
{
    return toGbk(kGroundTitle + ground + kCrLf + kLineTitle + line + kCrLf + kCurrentTitle +
                 current + kCrLf);
}

QByteArray historyTextFile(const CellReader& cell)
{
    ColumnWriter out;
    out.write(kHistoryHeader);
    out.endLine();
    for (int row = 1; row <= HistoryModel::RecordRows; ++row) {
        for (int column = 0; column < 4; ++column) {
            out.advanceTo(HistoryCellColumns[column]);
            out.write(cell(row, column));
        }
    }
    return toGbk(out.text());
}

QByteArray historyTextFile(const HistoryModel& model)
{
    return historyTextFile([&model](int row, int column) { return model.cell(row, column); });
}

} // namespace tesvaron
