#pragma once
// The inspection report: one A4 PDF a line technician files for a test, from a download (its
// records as a table) or from a realtime session (its chart and figures). The window and
// tesvaron-cli render the same report from the same data.

#include "replies/measurements.h"
#include "trend/trend_reduce.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <span>

class QSettings;

namespace tesvaron {

// What a test record needs besides the measurements; every field is free text.
struct ReportFields
{
    QString unit;         // 单位/班组
    QString lineName;     // 线路名称 (required)
    QString lineNumber;   // 线路编号
    QString tower;        // 杆塔号
    QString phase;        // 相别
    QString operatorName; // 检测人 (required; the PDF's author)
    QString checker;      // 校核人
    QString instrument;   // 仪器编号
    QString date;         // 检测日期
    QString weather;      // 天气
    QString temperature;  // 温度 (°C)
    QString humidity;     // 湿度 (%)
    QString conclusion;   // 结论
};

// One field: its key (settings and command-line option), its caption, where it lives.
struct ReportFieldInfo
{
    const char* key;
    const char* caption; // UTF-8
    QString ReportFields::*member;
    bool required;
};
std::span<const ReportFieldInfo> reportFieldTable();

// The captions of the required fields left empty, in table order.
QStringList missingReportFields(const ReportFields& fields);

// The fields of the last report, kept in settings group "report".
ReportFields loadReportFields(QSettings& settings);
void saveReportFields(QSettings& settings, const ReportFields& fields);

// What the report is about.
struct InspectionReport
{
    ReportFields fields;
    bool fromDownload = true; // false: a realtime session
    QDateTime started;        // local time with its offset
    QDateTime ended;          // invalid while unknown (cut short before its end was seen)
    PortInfo port;
    int reported = -1; // the instrument's own total (downloads); -1 when it never came
    bool complete = true;
    QList<HistoryRow> rows;     // the records' table; may be empty
    QList<TrendSample> samples; // drawn as a chart when not empty (sorted by time)
};

// "2026-12-07 08:01:02 +08:00": local time with its offset, as the report and exports show it.
QString timeWithOffset(const QDateTime& at);

// The number as shown, without its unit ("12kV" -> "12", "NO--" stays).
QString numberPart(const QString& shown);

// Writes the report to `path` (replaced whole or not at all). Needs a QGuiApplication (fonts);
// an offscreen one will do. Returns the reason when it could not, else an empty text.
QString renderInspectionReport(const InspectionReport& report, const QString& path);

// The PDF bytes themselves, for callers that keep them elsewhere.
QByteArray inspectionReportPdf(const InspectionReport& report);

// Title, author and creation date go into the PDF's document information.
inline constexpr const char* ReportTitle = "验电检测报告";

} // namespace tesvaron
