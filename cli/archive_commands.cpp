#include "cli/archive_commands.h"

#include "archive/archive_store.h"
#include "cli/commands.h"
#include "report/inspection_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace tesvaron::cli {

namespace {

using archive::DownloadInfo;

QString usage()
{
    return CliText::tr(
        "用法：tesvaron-cli archive list [--json] [--from 日期] [--to 日期]\n"
        "      tesvaron-cli archive export ID|last -o FILE\n"
        "      tesvaron-cli archive report ID|last -o FILE.pdf --line 线路 --operator 检测人\n"
        "             [--unit --line-number --tower --phase --checker --instrument --date\n"
        "              --weather --temperature --humidity --conclusion 文字]\n"
        "list 列出档案中的下载，最新的在前（日期为 YYYY-MM-DD，含当天）；export 把一次下载写成\n"
        ".csv（UTF-8）或 .xlsx（数值单元格），- 为标准输出上的 CSV；report 生成 A4 检测报告 PDF。\n"
        "档案与窗口程序共用；TESVARON_ARCHIVE 可指定另一个档案。\n");
}

bool writeOut(const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) ==
               std::size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

QString shownTime(const QDateTime& at)
{
    return at.isValid() ? timeWithOffset(at) : QStringLiteral("-");
}

QJsonObject downloadJson(const DownloadInfo& d)
{
    const auto time = [](const QDateTime& at) {
        return at.isValid() ? QJsonValue(isoTime(at)) : QJsonValue();
    };
    return {{QStringLiteral("id"), d.id},
            {QStringLiteral("started"), time(d.started)},
            {QStringLiteral("ended"), time(d.ended)},
            {QStringLiteral("port"), d.port},
            {QStringLiteral("device"), d.device.isEmpty() ? QJsonValue() : QJsonValue(d.device)},
            {QStringLiteral("reported"), d.reported < 0 ? QJsonValue() : QJsonValue(d.reported)},
            {QStringLiteral("records"), d.rowsRead},
            {QStringLiteral("complete"), d.complete}};
}

// The archive's arguments: a command, a download, options with a value, flags.
struct ArchiveArgs
{
    QString command;
    QString which; // ID or "last"
    QString output;
    bool json = false;
    QDate from, to;
    ReportFields fields;
    QString error;
};

ArchiveArgs parse(const QStringList& args)
{
    ArchiveArgs a;
    const auto fail = [&a](const QString& why) {
        a.error = why;
        return a;
    };
    a.command = args.value(1);
    if (a.command != QLatin1String("list") && a.command != QLatin1String("export") &&
        a.command != QLatin1String("report"))
        return fail(a.command.isEmpty() ? CliText::tr("archive 缺少命令：list、export 或 report")
                                        : CliText::tr("未知的 archive 命令：%1").arg(a.command));
    const bool list = a.command == QLatin1String("list");
    const bool report = a.command == QLatin1String("report");
    for (int i = 2; i < args.size(); ++i) {
        QString name = args.at(i);
        if (!name.startsWith(QLatin1Char('-')) || name == QLatin1String("-")) {
            if (list || !a.which.isEmpty()) return fail(CliText::tr("多余的参数：%1").arg(name));
            a.which = name;
            continue;
        }
        if (list && name == QLatin1String("--json")) {
            a.json = true;
            continue;
        }
        QString value;
        if (name.contains(QLatin1Char('='))) {
            value = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name.truncate(name.indexOf(QLatin1Char('=')));
        } else if (i + 1 < args.size()) {
            value = args.at(++i);
        } else {
            return fail(CliText::tr("%1 后面缺少值").arg(name));
        }
        const ReportFieldInfo* field = nullptr;
        for (const ReportFieldInfo& info : reportFieldTable())
            if (report && name == QLatin1String("--") + QLatin1String(info.key)) field = &info;
        if (field) {
            a.fields.*(field->member) = value;
        } else if (!list && (name == QLatin1String("-o") || name == QLatin1String("--output"))) {
            a.output = value;
        } else if (list && (name == QLatin1String("--from") || name == QLatin1String("--to"))) {
            const QDate date = QDate::fromString(value, Qt::ISODate);
            if (!date.isValid())
                return fail(CliText::tr("%1 %2 无效：应为 YYYY-MM-DD").arg(name, value));
            (name == QLatin1String("--from") ? a.from : a.to) = date;
        } else {
            return fail(CliText::tr("archive %1 不接受选项 %2").arg(a.command, name));
        }
    }
    if (list) return a;
    if (a.which.isEmpty()) return fail(CliText::tr("archive %1 需要 ID 或 last").arg(a.command));
    if (a.output.isEmpty()) return fail(CliText::tr("archive %1 需要 -o FILE").arg(a.command));
    if (report) {
        if (!a.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            return fail(CliText::tr("报告文件 %1 应以 .pdf 结尾").arg(a.output));
        const QStringList missing = missingReportFields(a.fields);
        if (!missing.isEmpty())
            return fail(CliText::tr("报告需要：%1（--line、--operator）")
                            .arg(missing.join(QStringLiteral("、"))));
    } else if (outputFormat(a.output) != OutputFormat::Csv &&
               outputFormat(a.output) != OutputFormat::Xlsx) {
        return fail(CliText::tr("无法识别输出文件 %1 的类型：请用 .csv、.xlsx 或 -").arg(a.output));
    }
    return a;
}

Outcome list(const archive::Store& store, const ArchiveArgs& a)
{
    const QList<DownloadInfo> downloads = store.downloads({a.from, a.to});
    if (a.json) {
        QJsonArray array;
        for (const DownloadInfo& d : downloads)
            array.append(downloadJson(d));
        return writeOut(QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n')
                   ? Outcome::Done
                   : Outcome::FileError;
    }
    QByteArray text;
    for (const DownloadInfo& d : downloads)
        text += QStringLiteral("%1  %2  %3  %4  %5/%6  %7\n")
                    .arg(d.id, 4)
                    .arg(shownTime(d.started), shownTime(d.ended), d.port)
                    .arg(d.rowsRead, 2)
                    .arg(d.reported < 0 ? QStringLiteral("?") : QString::number(d.reported))
                    .arg(d.complete ? CliText::tr("完整") : CliText::tr("中断"))
                    .toUtf8();
    return writeOut(text) ? Outcome::Done : Outcome::FileError;
}

} // namespace

bool isArchiveCommand(const QStringList& args)
{
    return args.value(0) == QLatin1String("archive");
}

bool archiveCommandDraws(const QStringList& args)
{
    return isArchiveCommand(args) && args.value(1) == QLatin1String("report");
}

Outcome runArchive(const QStringList& args)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(usage().toUtf8().constData(), stdout);
        return Outcome::Done;
    }
    const ArchiveArgs a = parse(args);
    if (!a.error.isEmpty()) {
        complain(a.error + CliText::tr("（见 tesvaron-cli archive --help）"));
        return Outcome::Usage;
    }
    archive::Store store(archive::defaultLocation(), archive::Store::Access::Read);
    if (!store.isAvailable()) {
        complain(CliText::tr("无法打开档案 %1：%2").arg(store.whereFiled(), store.lastError()));
        return Outcome::FileError;
    }
    // What else the store has to say: a server this build cannot reach.
    QObject::connect(&store, &archive::Store::unavailable, &complain);
    store.reportUnavailable();
    if (a.command == QLatin1String("list")) return list(store, a);

    bool isNumber = false;
    const qint64 id = a.which.toLongLong(&isNumber);
    const auto download = a.which == QLatin1String("last") ? store.lastDownload()
                          : isNumber                       ? store.download(id)
                                                           : std::nullopt;
    if (!download) {
        // Nothing to export is "not found", as a search that finds no instrument.
        complain(CliText::tr("档案中没有下载 %1").arg(a.which));
        return Outcome::NoInstrument;
    }
    const QList<HistoryRow> rows = store.records(download->id);
    QString error;
    if (a.command == QLatin1String("report")) {
        InspectionReport report;
        report.fields = a.fields;
        // The day of the download unless told, as the window's dialog offers it.
        if (report.fields.date.isEmpty())
            report.fields.date = download->started.toString(QStringLiteral("yyyy-MM-dd"));
        report.started = download->started;
        report.ended = download->ended;
        report.port = {download->port, download->device};
        report.reported = download->reported;
        report.complete = download->complete;
        report.rows = rows;
        error = renderInspectionReport(report, a.output);
    } else if (a.output == QLatin1String("-")) {
        if (!writeOut(archive::downloadCsv(*download, rows)))
            error = CliText::tr("无法写入标准输出");
    } else {
        archive::exportDownload(a.output, *download, rows, &error);
    }
    if (!error.isEmpty()) {
        complain(CliText::tr("无法写入 %1：%2").arg(a.output, error));
        return Outcome::FileError;
    }
    return Outcome::Done;
}

} // namespace tesvaron::cli
