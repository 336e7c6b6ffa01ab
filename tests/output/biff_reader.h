#pragma once
// A small, independent reader of compound files and BIFF8 records, so that tests can look at
// what the workbook writer produced byte by byte (freexl does not report cell formats).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace biff {

// Returns the named stream of a version 3 compound file (512-byte sectors, stream in regular
// sectors), or an empty array with `why` set.
QByteArray compoundStream(const QByteArray& file, const QString& name, QString* why);

struct Record
{
    quint16 type = 0;
    QByteArray data;
    qsizetype offset = 0; // stream offset of the record header
};

// The records of one substream, from `offset` up to and including its EOF record.
std::vector<Record> substream(const QByteArray& stream, qsizetype offset, QString* why);

quint16 u16(const QByteArray& data, qsizetype at);
quint32 u32(const QByteArray& data, qsizetype at);

// The shared strings of an SST record and the CONTINUE records after it, read by the rules of
// the format; `problem` is set when a string header is split or an option byte is unexpected.
struct SharedStrings
{
    quint32 total = 0;
    quint32 unique = 0;
    QStringList strings;
    std::vector<qsizetype> stringOffsets;       // stream offset of each string's header
    std::vector<qsizetype> stringRecordOffsets; // offset of the header from its record's start
    int continueRecords = 0;
    int splitNarrow = 0; // strings whose 8-bit characters run on into a CONTINUE
    int splitWide = 0;   // the same for UTF-16 characters
    QString problem;
};
SharedStrings sharedStrings(const std::vector<Record>& records, size_t sstIndex);

} // namespace biff
