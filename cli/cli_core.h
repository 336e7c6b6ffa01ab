#pragma once
// What tesvaron-cli decides without a port: its arguments, the layouts of what it prints and
// writes, how it finds a reply in the bytes received, and its exit codes.

#include "link/link_logic.h"
#include "output/workbook_file.h"
#include "replies/history_model.h"
#include "replies/measure_format.h"
#include "replies/reply_frame.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

// The context of tesvaron-cli's messages. They are written in Chinese; translations/ holds the
// English ones, which the program loads unless the locale is Chinese.
class CliText
{
    Q_DECLARE_TR_FUNCTIONS(CliText)
};

namespace tesvaron::cli {

enum class Command { None, Ports, Find, Read, Watch };

// Where to talk to the instrument: a COM number, a device path, or neither (search for it).
struct PortChoice
{
    int com = 0;    // 1..16 when a COM number was given
    QString device; // a device path when one was given
    bool given() const { return com > 0 || !device.isEmpty(); }
};

// The command line, parsed.
struct Options
{
    Command command = Command::None;
    bool help = false;
    bool version = false;
    PortChoice port;
    QString output;    // read: the file, "-" for CSV on standard output
    bool json = false; // results as JSON on standard output
    std::chrono::milliseconds interval = RealPeriod;
    int count = 0;                         // watch: polls before it ends, 0 until interrupted
    std::chrono::milliseconds duration{0}; // watch: how long it polls, 0 until interrupted
    QString csv;         // watch: the file the readings are appended to, "-" for standard output
    bool archive = true; // read, watch: file what is read into the window's archive
    QString error;       // a usage error, one line; the rest is then unset
};

// `args` without the program's name.
Options parseArguments(const QStringList& args);
// "30s", "10m", "2h", "1.5h" or plain seconds; zero when the text is not a duration.
std::chrono::milliseconds parseDuration(const QString& text);
// The --help text of a command (Command::None: the program's).
QString usageText(Command command);

enum class OutputFormat { Unknown, Text, Csv, Xls, Xlsx };
// By the file's extension; "-" is CSV on standard output.
OutputFormat outputFormat(const QString& path);

// The history's rows 1..recordRows as CSV, numbers without units. The text file and the
// workbooks are the window's own (historyTextFile, historySheet).
QByteArray historyCsv(const HistoryModel& history, int recordRows);

// A measurement text as a plain number: "12kV" -> "12", "1.50A" -> "1.50", "NO--" -> "".
QString plainNumber(const QString& text);

// One realtime reply: the panel's texts and the numbers they came from.
struct LiveReading
{
    MeasureTexts texts;
    std::uint16_t rawVolt = 0;   // tenths of a kV
    std::uint8_t rawCurrent = 0; // scaled by the decimal code
    std::uint8_t code = 0;
};
LiveReading liveReading(const ReplyFrameBytes& frame);

// watch's output: one line per poll, and the same as CSV rows (status "ok" or why it failed).
QString watchLine(const QDateTime& at, const LiveReading& reading);
QString watchFailureLine(const QDateTime& at, const QString& reason);
QByteArray watchCsvHeader();
QByteArray watchCsvRow(const QDateTime& at, const LiveReading* reading, const char* status);

// The JSON forms, for scripts: numbers as numbers, an over-range reading as nulls with
// "over_range": true, times as isoTime() gives them.
QByteArray watchJsonLine(const QDateTime& at, const LiveReading* reading, const char* status);
// read: the records of rows 1..recordRows.
QByteArray historyJson(const HistoryModel& table, int recordRows, int reported);
// One port of `ports`: its status word is ok, not_found, in_use, no_permission or failed.
struct PortRow
{
    int com = 0;
    QString device;
    const char* status = "failed";
};
QByteArray portsJson(const std::vector<PortRow>& rows);

// "[#####-----]  50/99" for a terminal.
QString progressBar(int value, int maximum);

// How a command ended.
enum class Outcome { Done, NoInstrument, NoReply, Interrupted, Usage, FileError, PortError };
int exitCode(Outcome outcome);

// Looks in the bytes received so far for a complete reply to a request of `kind`, or a
// refusal (0xF1). Every 0xB1 is tried as the header, so stray bytes in front do not hide it.
// Ok: `frame` holds it. BadChecksum: a complete frame came, with a wrong checksum.
ReplyCheck findReply(const QByteArray& rx, std::uint8_t kind, ReplyFrameBytes& frame);

} // namespace tesvaron::cli
