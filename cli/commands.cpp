#include "cli/commands.h"

#include "archive/archive_store.h"
#include "cli/serial_line.h"
#include "link/request_frame.h"
#include "output/atomic_file.h"
#include "platform/port_map.h"
#include "replies/paging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <memory>
#include <unistd.h>
#include <utility>

namespace tesvaron::cli {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void printLine(std::FILE* stream, const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stream);
    std::fflush(stream);
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

// The system's reason from an open's detail, which starts with the device it names.
QString reasonOf(const QString& detail)
{
    const qsizetype colon = detail.indexOf(QLatin1String(": "));
    return colon > 0 ? detail.mid(colon + 2) : detail;
}

// Writes all of `bytes` to standard output at once; says so when it cannot.
bool writeStdout(const QByteArray& bytes)
{
    const bool ok = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) ==
                        std::size_t(bytes.size()) &&
                    std::fflush(stdout) == 0;
    if (!ok) complain(CliText::tr("无法写入标准输出"));
    return ok;
}

const char* statusWord(OpenOutcome outcome)
{
    switch (outcome) {
    case OpenOutcome::Opened:
        return "ok";
    case OpenOutcome::NotFound:
        return "not_found";
    case OpenOutcome::InUse:
        return "in_use";
    case OpenOutcome::NoPermission:
        return "no_permission";
    case OpenOutcome::Failed:
        break;
    }
    return "failed";
}

QString openStatus(OpenOutcome outcome)
{
    return outcome == OpenOutcome::Opened ? QStringLiteral("ok") : openOutcomeText(outcome);
}

// Says why an exchange got no reply and what that makes of the command.
Outcome exchangeFailed(const Line& line, const Exchange& ex)
{
    switch (ex.end) {
    case ExchangeEnd::Interrupted:
        complain(CliText::tr("已中断"));
        return Outcome::Interrupted;
    case ExchangeEnd::PortError:
        complain(CliText::tr("%1 串口错误：%2").arg(line.label(), reasonOf(ex.detail)));
        return Outcome::PortError;
    case ExchangeEnd::BadChecksum:
        complain(CliText::tr("%1 的回复校验错误").arg(line.label()));
        return Outcome::NoReply;
    case ExchangeEnd::NoReply:
    case ExchangeEnd::Reply:
        break;
    }
    complain(CliText::tr("%1 没有应答").arg(line.label()));
    return Outcome::NoReply;
}

bool probeAnswered(const Exchange& ex)
{
    return ex.end == ExchangeEnd::Reply &&
           decideReply(ReplyCheck::Ok, ex.frame, {}).act == ReplyAct::ProbeFound;
}

// The window's scan, once through: each port that opens gets a probe and until its 600 ms are
// up to answer; a port that does not open is passed at once. When nothing answers, a port the
// user was refused is the likely place of the instrument, so it is named with the system's
// reason and hint, as for --port.
std::unique_ptr<Line> scanPorts(Interrupt& interrupt, Outcome* outcome)
{
    QStringList refused;
    for (int com = FirstComNumber; com <= LastComNumber; ++com) {
        const auto slotEnd = Clock::now() + FindcomPeriod;
        auto line = std::make_unique<Line>(PortChoice{com, {}}, interrupt);
        QString detail;
        const OpenOutcome opened = line->open(&detail);
        if (opened == OpenOutcome::Opened) {
            const Exchange ex = line->exchange(
                KindProbe, 0, 0, std::chrono::ceil<milliseconds>(slotEnd - Clock::now()));
            if (probeAnswered(ex)) return line;
            line->close();
        } else if (opened == OpenOutcome::NoPermission) {
            refused << CliText::tr("无法打开 %1：%2").arg(line->label(), reasonOf(detail));
        }
        if (interrupt.raised()) {
            *outcome = exchangeFailed(*line, {ExchangeEnd::Interrupted, {}, {}});
            return nullptr;
        }
    }
    complain(CliText::tr("没有找到仪器：COM%1 到 COM%2 都没有应答")
                 .arg(FirstComNumber)
                 .arg(LastComNumber));
    for (const QString& why : refused)
        complain(why);
    *outcome = refused.isEmpty() ? Outcome::NoInstrument : Outcome::PortError;
    return nullptr;
}

// The line to the instrument: the port asked for, opened, or the one the scan finds.
std::unique_ptr<Line> connectLine(const Options& options, Interrupt& interrupt, Outcome* outcome)
{
    if (!options.port.given()) {
        auto line = scanPorts(interrupt, outcome);
        if (line && stderrIsTerminal()) complain(CliText::tr("仪器在 %1").arg(line->label()));
        return line;
    }
    auto line = std::make_unique<Line>(options.port, interrupt);
    QString detail;
    if (line->open(&detail) != OpenOutcome::Opened) {
        complain(CliText::tr("无法打开 %1：%2").arg(line->label(), reasonOf(detail)));
        *outcome = Outcome::PortError;
        return nullptr;
    }
    return line;
}

// The window's archive, which read and watch file into as the window does: a download or a
// session is there even when the command is cut short. Without one (--no-archive, or it cannot
// be opened: said once) the command goes on alone.
class Filing
{
public:
    explicit Filing(const Options& options)
    {
        if (!options.archive) return;
        store_ = std::make_unique<archive::Store>(archive::defaultLocation());
        QObject::connect(store_.get(), &archive::Store::unavailable,
                         [](const QString& message) { complain(message); });
        if (stderrIsTerminal())
            QObject::connect(store_.get(), &archive::Store::downloadFiled,
                             [](qint64 id, const QString& where) {
                                 complain(CliText::tr("下载 %1 已存入档案：%2").arg(id).arg(where));
                             });
        store_->reportUnavailable();
    }
    MeasurementListener& operator*() { return store_ ? *store_ : none_; }
    MeasurementListener* operator->() { return &**this; }

private:
    std::unique_ptr<archive::Store> store_;
    MeasurementListener none_;
};

PortInfo portOf(const Line& line)
{
    return {line.com() == 0 ? line.device() : QStringLiteral("COM%1").arg(line.com()),
            line.device()};
}

// Whether `path` can take the output, checked before the instrument is asked for anything.
bool mayWrite(const QString& path, QString* why)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        *why = CliText::tr("这是一个文件夹");
        return false;
    }
    if (!target.absoluteDir().exists()) {
        *why = CliText::tr("文件夹 %1 不存在").arg(QDir::toNativeSeparators(target.absolutePath()));
        return false;
    }
    return true;
}

// The window's download: the record total, then blocks of ten as paging asks for them.
Outcome download(Line& line, HistoryModel& history, int* total, int* reported,
                 MeasurementListener& filing)
{
    const bool showProgress = stderrIsTerminal();
    DownloadState state{true, false, true, 0, 0, 0};
    Exchange ex = line.exchange(KindRecordCount, 0, 0, ReplyTimeout);
    for (;;) {
        if (ex.end != ExchangeEnd::Reply) {
            if (showProgress) std::fputs("\n", stderr);
            return exchangeFailed(line, ex);
        }
        const ReplyStep step = decideReply(ReplyCheck::Ok, ex.frame, state);
        state.recTotal = step.recTotal;
        state.recBlock = step.recBlock;
        state.progress = step.progress;
        if (step.act == ReplyAct::NoRecords || step.act == ReplyAct::StartPaging) {
            *reported = step.reported;
            filing.downloadTotal(step.reported);
        }
        if (step.act == ReplyAct::NoRecords) return Outcome::Done;
        if (step.act == ReplyAct::StartPaging) *total = step.recTotal;
        if (step.act == ReplyAct::WriteBlock)
            filing.downloadRows(history.writeBlock(ex.frame, step.rowOffset, step.rows));
        if (showProgress)
            std::fprintf(stderr, "\r%s %s", CliText::tr("读取历史记录").toUtf8().constData(),
                         progressBar(step.progress, *total).toUtf8().constData());
        if (step.finished) {
            if (showProgress) std::fputs("\n", stderr);
            return Outcome::Done;
        }
        if (!step.next) {
            if (showProgress) std::fputs("\n", stderr);
            complain(CliText::tr("%1 拒绝了请求，读取中止").arg(line.label()));
            return Outcome::NoReply;
        }
        ex = line.exchange(KindHistoryBlock, step.next->start, step.next->count, ReplyTimeout);
    }
}

bool writeOutput(const QString& path, const HistoryModel& history, int total)
{
    QString error;
    bool ok = false;
    switch (outputFormat(path)) {
    case OutputFormat::Text:
        ok = writeFileAtomically(path, historyTextFile(history), &error);
        break;
    case OutputFormat::Csv:
        if (path == QLatin1String("-")) return writeStdout(historyCsv(history, total));
        ok = writeFileAtomically(path, historyCsv(history, total), &error);
        break;
    case OutputFormat::Xls:
    case OutputFormat::Xlsx:
        ok = writeWorkbookFile(path, historySheet(history), &error);
        break;
    case OutputFormat::Unknown:
        break;
    }
    if (!ok) complain(CliText::tr("无法写入 %1：%2").arg(path, error));
    return ok;
}

} // namespace

void complain(const QString& message)
{
    printLine(stderr, QStringLiteral("tesvaron-cli: ") + message);
}

Outcome runPorts(const Options& options)
{
    std::vector<PortRow> rows;
    for (int com = FirstComNumber; com <= LastComNumber; ++com) {
        QtSerialBackend port;
        const OpenOutcome outcome = port.open(com, nullptr);
        QString device = port.device();
        if (device.isEmpty()) device = resolveComPort(com);
        port.close();
        rows.push_back({com, device, statusWord(outcome)});
        if (!options.json)
            printLine(stdout, QStringLiteral("COM%1 %2 %3")
                                  .arg(QString::number(com).leftJustified(2))
                                  .arg(device.isEmpty() ? QStringLiteral("-") : device, -24)
                                  .arg(openStatus(outcome)));
    }
    if (options.json) return writeStdout(portsJson(rows)) ? Outcome::Done : Outcome::FileError;
    return Outcome::Done;
}

Outcome runFind(const Options& options, Interrupt& interrupt)
{
    Outcome outcome = Outcome::Done;
    std::unique_ptr<Line> line;
    if (options.port.given()) {
        line = connectLine(options, interrupt, &outcome);
        if (!line) return outcome;
        const Exchange ex = line->exchange(KindProbe, 0, 0, FindcomPeriod);
        if (!probeAnswered(ex)) return exchangeFailed(*line, ex);
    } else {
        line = scanPorts(interrupt, &outcome);
        if (!line) return outcome;
    }
    if (options.json) {
        const QJsonObject found{
            {QStringLiteral("com"), line->com() == 0 ? QJsonValue() : QJsonValue(line->com())},
            {QStringLiteral("device"), line->device()}};
        return writeStdout(QJsonDocument(found).toJson(QJsonDocument::Compact) + '\n')
                   ? Outcome::Done
                   : Outcome::FileError;
    }
    printLine(stdout, line->com() == 0
                          ? line->device()
                          : QStringLiteral("COM%1 %2").arg(line->com()).arg(line->device()));
    return Outcome::Done;
}

Outcome runRead(const Options& options, Interrupt& interrupt)
{
    const QString& path = options.output;
    QString why;
    if (!path.isEmpty() && path != QLatin1String("-") && !mayWrite(path, &why)) {
        complain(CliText::tr("无法写入 %1：%2").arg(path, why));
        return Outcome::FileError;
    }
    Outcome outcome = Outcome::Done;
    const auto line = connectLine(options, interrupt, &outcome);
    if (!line) return outcome;

    HistoryModel history;
    int total = 0;
    int reported = -1;
    Filing filing(options);
    filing->downloadStarted(portOf(*line), QDateTime::currentDateTime());
    outcome = download(*line, history, &total, &reported, *filing);
    filing->downloadEnded({outcome == Outcome::Done, reported, int(history.rows().size()),
                           QDateTime::currentDateTime()});
    if (outcome != Outcome::Done) return outcome;
    if (reported > total)
        complain(CliText::tr("仪器存有 %1 组记录，只读取了前 %2 组").arg(reported).arg(total));
    if (total == 0) complain(CliText::tr("仪器中没有历史记录"));
    if (!path.isEmpty() && !writeOutput(path, history, total)) return Outcome::FileError;
    if (options.json && !writeStdout(historyJson(history, total, reported)))
        return Outcome::FileError;
    if (stderrIsTerminal() && !path.isEmpty() && path != QLatin1String("-"))
        complain(CliText::tr("已读取 %1 组记录，写入 %2").arg(total).arg(path));
    return Outcome::Done;
}

Outcome runWatch(const Options& options, Interrupt& interrupt)
{
    // Each row goes out whole in one write and at once, so the file is complete whenever the
    // program ends; an existing file is added to, never replaced. "-" is standard output, which
    // then carries the CSV instead of the text lines.
    const bool csvToStdout = options.csv == QLatin1String("-");
    QFile csv;
    if (csvToStdout) {
        if (!csv.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            csv.write(watchCsvHeader()) < 0) {
            complain(CliText::tr("无法写入标准输出"));
            return Outcome::FileError;
        }
    } else if (!options.csv.isEmpty()) {
        csv.setFileName(options.csv);
        // A file grows; a device (a terminal, /dev/null) cannot seek to an end, so it is written.
        const QFileInfo info(options.csv);
        const QIODevice::OpenMode grow =
            info.exists() && !info.isFile() ? QIODevice::NotOpen : QIODevice::Append;
        const bool opened =
            !info.isDir() && csv.open(QIODevice::WriteOnly | grow | QIODevice::Unbuffered);
        if (!opened || (csv.size() == 0 && csv.write(watchCsvHeader()) < 0)) {
            complain(
                CliText::tr("无法写入 %1：%2")
                    .arg(options.csv, opened ? csv.errorString() : CliText::tr("无法创建或打开")));
            return Outcome::FileError;
        }
    }
    Outcome outcome = Outcome::Done;
    const auto line = connectLine(options, interrupt, &outcome);
    if (!line) return outcome;

    // A poll gets until the next one to be answered, as the window's next poll closes the port
    // on a reply still on its way, and never more than the reply timeout.
    const milliseconds timeout = std::min<milliseconds>(ReplyTimeout, options.interval);
    const auto start = Clock::now();
    const auto deadline = options.duration > milliseconds::zero() ? start + options.duration
                                                                  : Clock::time_point::max();
    int answered = 0;
    auto due = start;
    // A session in the archive runs from an answer to the first poll left unanswered.
    Filing filing(options);
    bool found = false;
    for (int polls = 0; options.count == 0 || polls < options.count; ++polls) {
        // A poll falls due within the duration or not at all.
        if (polls > 0 && due >= deadline) break;
        if (polls > 0 && !line->pause(std::chrono::ceil<milliseconds>(due - Clock::now()))) break;
        // Every line carries the time of its poll, answered or not.
        const QDateTime now = QDateTime::currentDateTime();
        const Exchange ex = line->exchange(KindRealtime, 0, 0, timeout);
        // Closed until the next poll, as the window does: nothing a device sends meanwhile is
        // read or kept.
        line->close();
        if (ex.end == ExchangeEnd::Interrupted) break;
        QByteArray row;
        QByteArray json;
        if (ex.end == ExchangeEnd::Reply && ex.frame[1] == ReplyRealtime) {
            const LiveReading reading = liveReading(ex.frame);
            if (options.json)
                json = watchJsonLine(now, &reading, "ok");
            else if (!csvToStdout)
                printLine(stdout, watchLine(now, reading));
            row = watchCsvRow(now, &reading, "ok");
            ++answered;
            if (!std::exchange(found, true)) filing->instrumentFound(portOf(*line));
            filing->realtimeReading({now, realtimeMeasurement(realtimeValue(ex.frame))});
        } else {
            QString reason = CliText::tr("无应答");
            const char* status = "no_reply";
            if (ex.end == ExchangeEnd::Reply) {
                reason = CliText::tr("仪器拒绝（F1）");
                status = "refused";
            } else if (ex.end == ExchangeEnd::BadChecksum) {
                reason = CliText::tr("校验错误");
                status = "bad_checksum";
            } else if (ex.end == ExchangeEnd::PortError) {
                reason = CliText::tr("串口错误（%1）").arg(ex.detail);
                status = "port_error";
            }
            if (options.json)
                json = watchJsonLine(now, nullptr, status);
            else if (!csvToStdout)
                printLine(stdout, watchFailureLine(now, reason));
            row = watchCsvRow(now, nullptr, status);
            if (std::exchange(found, false)) filing->instrumentLost();
        }
        if (!json.isEmpty() && !writeStdout(json)) return Outcome::FileError;
        if (csv.isOpen() && csv.write(row) != row.size()) {
            complain(CliText::tr("无法写入 %1：%2").arg(options.csv, csv.errorString()));
            return Outcome::FileError;
        }
        due = std::max(due + options.interval, Clock::now());
    }
    if (answered == 0 && !interrupt.raised()) {
        complain(CliText::tr("%1 没有应答").arg(line->label()));
        return Outcome::NoReply;
    }
    return Outcome::Done;
}

} // namespace tesvaron::cli
