#include "archive/archive_store.h"

#include "output/atomic_file.h"
#include "output/workbook_file.h"

#include <charconv>
#include <variant>
#include <vector>
#include <xlsxwriter.h>

namespace tesvaron::archive {

namespace {

// A cell of an export: a number, a text, or nothing (a value the instrument did not give).
using Cell = std::variant<std::monostate, double, QString>;
struct Table
{
    QStringList headers;
    std::vector<std::vector<Cell>> rows;
};

// The shortest decimal that reads back as the same float, so 32.7f exports as 32.7, not as
// 32.70000076.
Cell number(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::stod(std::string(text, end));
}

const QString GroundHeader = QStringLiteral("对地电压 (kV)");
const QString LineHeader = QStringLiteral("线电压 (kV)");
const QString CurrentHeader = QStringLiteral("电流 (A)");

Table downloadTable(const DownloadInfo& info, const QList<HistoryRow>& rows)
{
    Table table{{QStringLiteral("NO."), GroundHeader, LineHeader, CurrentHeader,
                 QStringLiteral("下载时间"), QStringLiteral("端口")},
                {}};
    for (const HistoryRow& row : rows)
        table.rows.push_back({double(row.no), number(row.value.groundKv), number(row.value.lineKv),
                              number(row.value.currentA), isoTime(info.started), info.port});
    return table;
}

Table sessionTable(const SessionInfo& info, const QList<RealtimeSample>& samples)
{
    Table table{{QStringLiteral("时间"), GroundHeader, LineHeader, CurrentHeader,
                 QStringLiteral("超量程"), QStringLiteral("端口")},
                {}};
    for (const RealtimeSample& s : samples) {
        const Measurement& m = s.value;
        table.rows.push_back(
            {isoTime(s.at), number(m.groundKv), m.overRange ? Cell{} : number(m.lineKv),
             m.overRange ? Cell{} : number(m.currentA), double(m.overRange), info.port});
    }
    return table;
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csv(const Table& table)
{
    // The byte-order mark tells Excel the file is UTF-8; CR LF as Excel writes it.
    QString text = QStringLiteral("\uFEFF");
    QStringList fields;
    for (const QString& header : table.headers)
        fields.append(csvField(header));
    text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    for (const auto& row : table.rows) {
        fields.clear();
        for (const Cell& cell : row) {
            if (const double* n = std::get_if<double>(&cell))
                fields.append(QString::number(*n, 'g', 15));
            else if (const QString* s = std::get_if<QString>(&cell))
                fields.append(csvField(*s));
            else
                fields.append(QString());
        }
        text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return text.toUtf8();
}

// Numbers in numeric cells, bold headers that stay in view.
int fillTable(lxw_workbook* workbook, const Table& table)
{
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    lxw_error status = LXW_NO_ERROR;
    for (int c = 0; c < table.headers.size() && status == LXW_NO_ERROR; ++c)
        status = worksheet_write_string(sheet, 0, lxw_col_t(c),
                                        table.headers[c].toUtf8().constData(), bold);
    worksheet_set_column(sheet, 0, lxw_col_t(table.headers.size() - 1), 16, nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    for (size_t r = 0; r < table.rows.size() && status == LXW_NO_ERROR; ++r) {
        const auto& row = table.rows[r];
        for (size_t c = 0; c < row.size() && status == LXW_NO_ERROR; ++c) {
            const auto rr = lxw_row_t(r + 1);
            if (const double* n = std::get_if<double>(&row[c]))
                status = worksheet_write_number(sheet, rr, lxw_col_t(c), *n, nullptr);
            else if (const QString* s = std::get_if<QString>(&row[c]))
                status = worksheet_write_string(sheet, rr, lxw_col_t(c), s->toUtf8().constData(),
                                                nullptr);
        }
    }
    return status;
}

bool write(const QString& path, const Table& table, QString* error)
{
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return writeXlsxFile(
            path, [&table](lxw_workbook* workbook) { return fillTable(workbook, table); }, error);
    return writeFileAtomically(path, csv(table), error);
}

} // namespace

QByteArray downloadCsv(const DownloadInfo& info, const QList<HistoryRow>& rows)
{
    return csv(downloadTable(info, rows));
}

QByteArray sessionCsv(const SessionInfo& info, const QList<RealtimeSample>& samples)
{
    return csv(sessionTable(info, samples));
}

bool exportDownload(const QString& path, const DownloadInfo& info, const QList<HistoryRow>& rows,
                    QString* error)
{
    return write(path, downloadTable(info, rows), error);
}

bool exportSession(const QString& path, const SessionInfo& info,
                   const QList<RealtimeSample>& samples, QString* error)
{
    return write(path, sessionTable(info, samples), error);
}

} // namespace tesvaron::archive
