#include "cli/cli_core.h"

#include "output/text_files.h"
#include "replies/paging.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace tesvaron::cli {

namespace {

constexpr double MinIntervalS = 0.1;
constexpr double MaxIntervalS = 86400.0;

Command commandNamed(const QString& name)
{
    if (name == QLatin1String("ports")) return Command::Ports;
    if (name == QLatin1String("find")) return Command::Find;
    if (name == QLatin1String("read")) return Command::Read;
    if (name == QLatin1String("watch")) return Command::Watch;
    return Command::None;
}

QString parsePort(const QString& text, PortChoice* port)
{
    static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(text);
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n < FirstComNumber || n > LastComNumber)
            return CliText::tr("串口号 %1 无效：只有 COM1 到 COM16").arg(text);
        *port = {n, {}};
        return {};
    }
    if (text.isEmpty()) return CliText::tr("--port 需要 COMn 或设备路径");
    // A bare name such as ttyUSB0 means the device node of that name.
    *port = {0, text.contains(QLatin1Char('/')) ? text : QStringLiteral("/dev/") + text};
    return {};
}

QString csvLine(const QStringList& fields)
{
    return fields.join(QLatin1Char(',')) + QLatin1Char('\n');
}

} // namespace

Options parseArguments(const QStringList& args)
{
    Options o;
    const auto fail = [](const QString& why) {
        Options bad;
        bad.error = why;
        return bad;
    };
    if (args.isEmpty()) return fail(CliText::tr("缺少命令：ports、find、read 或 watch"));
    const QString& first = args.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        o.help = true;
        return o;
    }
    if (first == QLatin1String("--version")) {
        o.version = true;
        return o;
    }
    o.command = commandNamed(first);
    if (o.command == Command::None) return fail(CliText::tr("未知的命令：%1").arg(first));

    for (int i = 1; i < args.size(); ++i) {
        QString name = args.at(i);
        QString value;
        bool inlineValue = false;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name.truncate(name.indexOf(QLatin1Char('=')));
            inlineValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (name == QLatin1String("--json") && !inlineValue) {
            o.json = true;
            continue;
        }
        const bool takesPort = o.command != Command::Ports;
        if (name == QLatin1String("--no-archive") && !inlineValue &&
            (o.command == Command::Read || o.command == Command::Watch)) {
            o.archive = false;
            continue;
        }
        const bool known =
            (takesPort && name == QLatin1String("--port")) ||
            (o.command == Command::Read &&
             (name == QLatin1String("-o") || name == QLatin1String("--output"))) ||
            (o.command == Command::Watch &&
             (name == QLatin1String("--interval") || name == QLatin1String("--count") ||
              name == QLatin1String("--csv") || name == QLatin1String("--duration")));
        if (!known) {
            if (!name.startsWith(QLatin1Char('-')) || name == QLatin1String("-"))
                return fail(CliText::tr("多余的参数：%1").arg(name));
            return fail(CliText::tr("%1 不接受选项 %2").arg(first, name));
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) return fail(CliText::tr("%1 后面缺少值").arg(name));
            value = args.at(++i);
        }
        if (name == QLatin1String("--port")) {
            const QString why = parsePort(value, &o.port);
            if (!why.isEmpty()) return fail(why);
        } else if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
            if (outputFormat(value) == OutputFormat::Unknown)
                return fail(CliText::tr("无法识别输出文件 %1 的类型：请用 .txt、.csv、.xls、"
                                        ".xlsx 或 -")
                                .arg(value));
            o.output = value;
        } else if (name == QLatin1String("--interval")) {
            bool ok = false;
            const double s = value.toDouble(&ok);
            if (!ok || !std::isfinite(s) || s < MinIntervalS || s > MaxIntervalS)
                return fail(CliText::tr("--interval %1 无效：应为 0.1 到 86400 秒").arg(value));
            o.interval = std::chrono::milliseconds(std::llround(s * 1000.0));
        } else if (name == QLatin1String("--duration")) {
            o.duration = parseDuration(value);
            if (o.duration <= std::chrono::milliseconds::zero())
                return fail(CliText::tr("--duration %1 无效：应为带单位的时长，如 30s、10m、2h")
                                .arg(value));
        } else if (name == QLatin1String("--count")) {
            bool ok = false;
            o.count = value.toInt(&ok);
            if (!ok || o.count < 1)
                return fail(CliText::tr("--count %1 无效：应为正整数").arg(value));
        } else {
            if (value.isEmpty()) return fail(CliText::tr("--csv 需要文件名"));
            o.csv = value;
        }
    }
    if (o.help) return o;
    if (o.command == Command::Read && o.output.isEmpty() && !o.json)
        return fail(CliText::tr("read 需要 -o FILE 或 --json"));
    // Standard output takes one kind of output at a time.
    if (o.json && (o.output == QLatin1String("-") || o.csv == QLatin1String("-")))
        return fail(CliText::tr("--json 与写到标准输出的 - 不能同时使用"));
    return o;
}

std::chrono::milliseconds parseDuration(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+(?:\\.\\d+)?)([smh]?)$"));
    const auto m = form.match(text.trimmed().toLower());
    if (!m.hasMatch()) return {};
    const QString unit = m.captured(2);
    const double scale = unit == QLatin1String("h")   ? 3600000.0
                         : unit == QLatin1String("m") ? 60000.0
                                                      : 1000.0;
    const double ms = m.captured(1).toDouble() * scale;
    // Up to a year; anything longer is a typing error, not a measurement campaign.
    if (!std::isfinite(ms) || ms < 1.0 || ms > 366.0 * 86400000.0) return {};
    return std::chrono::milliseconds(std::llround(ms));
}

QString usageText(Command command)
{
    switch (command) {
    case Command::Ports:
        return CliText::tr("用法：tesvaron-cli ports [--json]\n"
                           "列出 COM1 到 COM16 各自对应的设备，以及能否打开（ok / 无效 / 被占用 / "
                           "无权限 / 打开失败）。\n"
                           "  --json   输出一个 JSON 数组，每个串口一项：com、device、status\n"
                           "           （ok、not_found、in_use、no_permission、failed）\n");
    case Command::Find:
        return CliText::tr(
            "用法：tesvaron-cli find [--port COMn|DEVICE] [--json]\n"
            "依次向 COM1 到 COM16（或 --port 指定的串口）发送握手请求，每个串口最多等 0.6 秒，\n"
            "输出第一个应答的仪器所在的 COM 号和设备。找不到仪器时退出码为 1；有串口因权限\n"
            "被拒绝时说明原因，退出码为 3。\n"
            "  --json   输出 JSON 对象：com（给设备路径时为 null）、device\n");
    case Command::Read:
        return CliText::tr(
            "用法：tesvaron-cli read [--port COMn|DEVICE] [-o FILE] [--json] [--no-archive]\n"
            "读取仪器中的全部历史记录（最多 99 组）并写入 FILE，格式由扩展名决定：\n"
            "  .txt   与主程序保存的历史文本文件相同（GBK 固定列）\n"
            "  .xls   .xlsx  与主程序导出的工作簿相同\n"
            "  .csv   UTF-8，列为 no,ground_kv,line_kv,current_a，数值不带单位\n"
            "  -      CSV 写到标准输出\n"
            "  --json 把记录作为一个 JSON 对象写到标准输出：total、reported、records（每组\n"
            "         no、ground_kv、line_kv、current_a）；可与 -o FILE 同用\n"
            "不给 --port 时先像 find 一样查找仪器。文件只在读取完整后一次写入。\n"
            "读到的记录像主程序一样存入档案（中断的也存，标为中断）；--no-archive 不存。\n");
    case Command::Watch:
        return CliText::tr(
            "用法：tesvaron-cli watch [--port COMn|DEVICE] [--interval S] [--count N]\n"
            "                         [--duration T] [--csv FILE] [--json] [--no-archive]\n"
            "每 S 秒（默认 1.5，可为 0.1 到 86400）读取一次实时值，每次输出一行：发出请求时的本地\n"
            "时间（ISO 8601，带时区）、对地电压、线电压、电流（与主程序显示的相同）和原始数值\n"
            "volt（0.1 kV）、current、code（电流的小数位代码）。到下一次读取时（最多 2.5 秒）\n"
            "仍无应答的一次输出“通讯失败”。不给 --port 时先像 find 一样查找仪器。\n"
            "  --count N     读取 N 次后结束\n"
            "  --duration T  读取 T 时长后结束，T 如 30s、10m、2h\n"
            "                （都不给时直到 Ctrl-C 或 SIGTERM）\n"
            "  --csv FILE    同时把每次的结果追加到 UTF-8 CSV 文件，逐行写入；文件为空时先写表头\n"
            "                time,status,ground_kv,line_kv,current_a,volt_raw,current_raw,code\n"
            "                FILE 为 - 时 CSV 代替文字行写到标准输出\n"
            "  --json        每次输出一行 JSON 对象代替文字行：time、status（ok、no_reply、\n"
            "                refused、bad_checksum、port_error）、ground_kv、line_kv、current_a、\n"
            "                volt_raw、current_raw、code、over_range（超量程时数值为 null）\n"
            "读到的实时值像主程序一样存入档案；--no-archive 不存。\n"
            "至少有一次应答时退出码为 0。\n");
    case Command::None:
        break;
    }
    return CliText::tr("用法：tesvaron-cli COMMAND [OPTIONS]\n"
                       "不用窗口查找、读取和监视无线高压测试仪。\n"
                       "\n"
                       "命令：\n"
                       "  ports    列出 COM 号对应的串口设备\n"
                       "  find     查找仪器\n"
                       "  read     读取历史记录到文件\n"
                       "  watch    定时读取实时值\n"
                       "  archive  列出、导出档案中的下载，生成检测报告\n"
                       "\n"
                       "  tesvaron-cli COMMAND --help   命令的说明\n"
                       "  tesvaron-cli --version        版本\n"
                       "\n"
                       "文件名 - 表示标准输出；--json 给脚本用。信息按区域设置显示中文或英文。\n"
                       "退出码：0 完成，1 没有仪器或仪器未应答，2 用法错误，3 文件或串口错误。\n");
}

OutputFormat outputFormat(const QString& path)
{
    if (path == QLatin1String("-")) return OutputFormat::Csv;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (QFileInfo(path).completeBaseName().isEmpty()) return OutputFormat::Unknown;
    if (suffix == QLatin1String("txt")) return OutputFormat::Text;
    if (suffix == QLatin1String("csv")) return OutputFormat::Csv;
    if (suffix == QLatin1String("xls")) return OutputFormat::Xls;
    if (suffix == QLatin1String("xlsx")) return OutputFormat::Xlsx;
    return OutputFormat::Unknown;
}

QByteArray historyCsv(const HistoryModel& history, int recordRows)
{
    QString out = csvLine({QStringLiteral("no"), QStringLiteral("ground_kv"),
                           QStringLiteral("line_kv"), QStringLiteral("current_a")});
    for (int r = 1; r <= recordRows && r <= HistoryModel::RecordRows; ++r)
        out += csvLine({history.cell(r, 0), plainNumber(history.cell(r, 1)),
                        plainNumber(history.cell(r, 2)), plainNumber(history.cell(r, 3))});
    return out.toUtf8();
}

QString plainNumber(const QString& text)
{
    QString number = text;
    if (number.endsWith(QLatin1String("kV")))
        number.chop(2);
    else if (number.endsWith(QLatin1Char('A')))
        number.chop(1);
    bool ok = false;
    number.toDouble(&ok);
    return ok ? number : QString();
}

LiveReading liveReading(const ReplyFrameBytes& frame)
{
    const RealtimeValue value = realtimeValue(frame);
    return {realtimeTexts(value.rawVolt, value.rawCurrent, value.code), value.rawVolt,
            value.rawCurrent, value.code};
}

QString watchLine(const QDateTime& at, const LiveReading& reading)
{
    return QStringLiteral("%1  %2 %3 %4  volt=%5 current=%6 code=%7")
        .arg(isoTime(at), reading.texts.ground.leftJustified(6),
             reading.texts.line.leftJustified(6), reading.texts.current.leftJustified(7))
        .arg(reading.rawVolt)
        .arg(reading.rawCurrent)
        .arg(reading.code);
}

QString watchFailureLine(const QDateTime& at, const QString& reason)
{
    return CliText::tr("%1  通讯失败：%2").arg(isoTime(at), reason);
}

QByteArray watchCsvHeader()
{
    return QByteArrayLiteral("time,status,ground_kv,line_kv,current_a,volt_raw,current_raw,code\n");
}

QByteArray watchCsvRow(const QDateTime& at, const LiveReading* reading, const char* status)
{
    QStringList fields{isoTime(at), QString::fromLatin1(status)};
    if (reading)
        fields << plainNumber(reading->texts.ground) << plainNumber(reading->texts.line)
               << plainNumber(reading->texts.current) << QString::number(reading->rawVolt)
               << QString::number(reading->rawCurrent) << QString::number(reading->code);
    else
        fields << QString() << QString() << QString() << QString() << QString() << QString();
    return csvLine(fields).toUtf8();
}

namespace {

// A shown number as a JSON number, or null when the text is no number ("NO--", empty).
QJsonValue jsonNumber(const QString& text)
{
    const QString plain = plainNumber(text);
    return plain.isEmpty() ? QJsonValue() : QJsonValue(plain.toDouble());
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

QByteArray watchJsonLine(const QDateTime& at, const LiveReading* reading, const char* status)
{
    QJsonObject o{{QStringLiteral("time"), isoTime(at)},
                  {QStringLiteral("status"), QString::fromLatin1(status)}};
    const bool overRange = reading && reading->texts.ground == OverRangeText;
    o.insert(QStringLiteral("ground_kv"),
             reading ? jsonNumber(reading->texts.ground) : QJsonValue());
    o.insert(QStringLiteral("line_kv"), reading ? jsonNumber(reading->texts.line) : QJsonValue());
    o.insert(QStringLiteral("current_a"),
             reading ? jsonNumber(reading->texts.current) : QJsonValue());
    o.insert(QStringLiteral("volt_raw"), reading ? QJsonValue(reading->rawVolt) : QJsonValue());
    o.insert(QStringLiteral("current_raw"),
             reading ? QJsonValue(reading->rawCurrent) : QJsonValue());
    o.insert(QStringLiteral("code"), reading ? QJsonValue(reading->code) : QJsonValue());
    o.insert(QStringLiteral("over_range"), overRange);
    return compact(o);
}

QByteArray historyJson(const HistoryModel& table, int recordRows, int reported)
{
    QJsonArray records;
    for (int r = 1; r <= recordRows && r <= HistoryModel::RecordRows; ++r)
        records.append(QJsonObject{{QStringLiteral("no"), r},
                                   {QStringLiteral("ground_kv"), jsonNumber(table.cell(r, 1))},
                                   {QStringLiteral("line_kv"), jsonNumber(table.cell(r, 2))},
                                   {QStringLiteral("current_a"), jsonNumber(table.cell(r, 3))}});
    return compact({{QStringLiteral("total"), recordRows},
                    {QStringLiteral("reported"), reported},
                    {QStringLiteral("records"), records}});
}

QByteArray portsJson(const std::vector<PortRow>& rows)
{
    QJsonArray ports;
    for (const PortRow& row : rows)
        ports.append(QJsonObject{{QStringLiteral("com"), row.com},
                                 {QStringLiteral("device"),
                                  row.device.isEmpty() ? QJsonValue() : QJsonValue(row.device)},
                                 {QStringLiteral("status"), QString::fromLatin1(row.status)}});
    return QJsonDocument(ports).toJson(QJsonDocument::Compact) + '\n';
}

QString progressBar(int value, int maximum)
{
    constexpr int Width = 30;
    const int filled = maximum > 0 ? std::clamp(value * Width / maximum, 0, Width) : Width;
    return QStringLiteral("[%1%2] %3/%4")
        .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char('-')))
        .arg(value, 2)
        .arg(maximum);
}

int exitCode(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return 0;
    case Outcome::NoInstrument:
    case Outcome::NoReply:
    case Outcome::Interrupted:
        return 1;
    case Outcome::Usage:
        return 2;
    case Outcome::FileError:
    case Outcome::PortError:
        return 3;
    }
    return 1;
}

ReplyCheck findReply(const QByteArray& rx, std::uint8_t kind, ReplyFrameBytes& frame)
{
    ReplyCheck seen = ReplyCheck::NoFrame;
    for (qsizetype at = rx.indexOf(char(ReplyHeader)); at >= 0;
         at = rx.indexOf(char(ReplyHeader), at + 1)) {
        // A frame is at most header + ReplyFrameSize bytes: each header costs that much at
        // most, so a flood of headers is gone through in linear time.
        ReplyFrameBytes candidate{};
        const QByteArray window = QByteArray::fromRawData(
            rx.constData() + at, std::min<qsizetype>(rx.size() - at, 1 + ReplyFrameSize));
        const ReplyCheck check = locateReply(window, int(window.size()), candidate);
        if (check == ReplyCheck::Ok && (candidate[1] == kind || candidate[1] == ReplyRefused)) {
            frame = candidate;
            return check;
        }
        if (check == ReplyCheck::BadChecksum) seen = check;
    }
    return seen;
}

} // namespace tesvaron::cli
