#pragma once
// Measurements as data: what the window shows, saves and prints, and what it announces to
// whoever keeps or draws them (archive, trend). Numbers are as decoded; texts are as shown.

#include "replies/measure_format.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace tesvaron {

// One measurement: voltage to ground, its line-voltage class, current.
struct Measurement
{
    float groundKv = 0.0f;
    float lineKv = 0.0f;    // the class as shown; not meaningful when overRange
    float currentA = 0.0f;  // scaled by the current code (tenths, hundredths or whole amperes)
    bool overRange = false; // realtime only: from 600 kV all three read "NO--"
    MeasureTexts texts;
};

// One record row of the history table (rows 1..99).
struct HistoryRow
{
    int no = 0; // the record's number, as in the table's NO. column
    Measurement value;
};

// An accepted realtime reading, stamped with the local time it was accepted.
struct RealtimeSample
{
    QDateTime at; // local time, with its offset
    Measurement value;
};

// ISO 8601 with milliseconds and the UTC offset, never "Z": 2026-12-07T10:15:02.123+08:00,
// as measurement times are written in files and for scripts. Empty for an invalid time.
QString isoTime(const QDateTime& time);

// Where the instrument answers.
struct PortInfo
{
    QString port;   // "COM3"
    QString device; // what COM n resolved to, e.g. "/dev/ttyUSB0"; empty where unknown
};

struct DownloadEnd
{
    bool complete = false; // every record the table can hold arrived
    int reported = -1;     // the instrument's own total; -1 when it never came
    int rowsRead = 0;      // rows written to the table by this download
    QDateTime at;          // local time the download ended
};

// Told about measurements as they happen. Every call has a do-nothing default, so a listener
// overrides only what it keeps.
class MeasurementListener
{
public:
    virtual ~MeasurementListener() = default;
    // The instrument answered the search (a realtime session starts) / is no longer there,
    // or the window closes (the session ends).
    virtual void instrumentFound(const PortInfo&) {}
    virtual void instrumentLost() {}
    virtual void realtimeReading(const RealtimeSample&) {}
    // A download: its start, the instrument's total, each block's rows as they arrive, its end.
    virtual void downloadStarted(const PortInfo&, const QDateTime& /*at*/) {}
    virtual void downloadTotal(int /*reported*/) {}
    virtual void downloadRows(const QList<HistoryRow>&) {}
    virtual void downloadEnded(const DownloadEnd&) {}
};

} // namespace tesvaron
