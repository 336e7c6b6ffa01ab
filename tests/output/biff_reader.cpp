#include "biff_reader.h"

#include <QSet>

namespace biff {

quint16 u16(const QByteArray& data, qsizetype at)
{
    return quint16(quint8(data.at(at)) | (quint8(data.at(at + 1)) << 8));
}

quint32 u32(const QByteArray& data, qsizetype at)
{
    return quint32(u16(data, at)) | (quint32(u16(data, at + 2)) << 16);
}

QByteArray compoundStream(const QByteArray& file, const QString& name, QString* why)
{
    const auto fail = [&](const QString& text) {
        *why = text;
        return QByteArray();
    };
    if (file.size() < 512 || !file.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
        return fail(QStringLiteral("no compound file signature"));
    if (u16(file, 0x1A) != 3 || u16(file, 0x1C) != 0xFFFE || u16(file, 0x1E) != 9)
        return fail(QStringLiteral("not version 3 with 512-byte sectors"));
    if ((file.size() - 512) % 512 != 0)
        return fail(QStringLiteral("file size is not whole sectors"));
    const quint32 sectorCount = quint32((file.size() - 512) / 512);
    const auto sector = [&](quint32 s) { return file.mid(512 + qsizetype(s) * 512, 512); };

    // FAT sector list: the 109 slots of the header are enough for the files of the tests (up to
    // 7 MB); a DIFAT chain is not followed.
    const quint32 fatSectors = u32(file, 0x2C);
    if (fatSectors > 109 || u32(file, 0x48) != 0) return fail(QStringLiteral("DIFAT in use"));
    std::vector<quint32> fatList;
    for (quint32 i = 0; i < fatSectors; ++i)
        fatList.push_back(u32(file, 0x4C + 4 * i));
    std::vector<quint32> fat;
    for (const quint32 s : fatList) {
        if (s >= sectorCount) return fail(QStringLiteral("FAT sector outside the file"));
        const QByteArray bytes = sector(s);
        for (int i = 0; i < 128; ++i)
            fat.push_back(u32(bytes, 4 * i));
    }
    for (const quint32 s : fatList) {
        if (fat.at(s) != 0xFFFFFFFD) return fail(QStringLiteral("FAT sector not marked as such"));
    }

    const auto chain = [&](quint32 start, QByteArray* out) {
        QSet<quint32> seen;
        for (quint32 s = start; s != 0xFFFFFFFE; s = fat.at(s)) {
            if (s >= sectorCount || s >= fat.size() || seen.contains(s)) return false;
            seen.insert(s);
            out->append(sector(s));
        }
        return true;
    };

    QByteArray directory;
    if (!chain(u32(file, 0x30), &directory)) return fail(QStringLiteral("broken directory chain"));
    for (qsizetype at = 0; at + 128 <= directory.size(); at += 128) {
        const QByteArray entry = directory.mid(at, 128);
        const int nameBytes = u16(entry, 0x40);
        if (nameBytes < 2 || nameBytes > 64) continue;
        QString entryName;
        for (int i = 0; i < nameBytes / 2 - 1; ++i)
            entryName.append(QChar(u16(entry, 2 * i)));
        if (at == 0 && (entryName != QStringLiteral("Root Entry") || entry.at(0x42) != 5))
            return fail(QStringLiteral("first directory entry is not the root"));
        if (entryName != name || entry.at(0x42) != 2) continue;
        const quint32 size = u32(entry, 0x78);
        if (size < u32(file, 0x38))
            return fail(QStringLiteral("stream below the mini stream cutoff"));
        QByteArray data;
        if (!chain(u32(entry, 0x74), &data)) return fail(QStringLiteral("broken stream chain"));
        if (data.size() != (qsizetype(size) + 511) / 512 * 512)
            return fail(QStringLiteral("stream chain length does not match its size"));
        return data.left(size);
    }
    return fail(QStringLiteral("stream %1 not found").arg(name));
}

std::vector<Record> substream(const QByteArray& stream, qsizetype offset, QString* why)
{
    std::vector<Record> records;
    qsizetype at = offset;
    while (at + 4 <= stream.size()) {
        Record r;
        r.type = u16(stream, at);
        const quint16 length = u16(stream, at + 2);
        r.offset = at;
        if (at + 4 + length > stream.size()) {
            *why = QStringLiteral("record at %1 runs past the stream").arg(at);
            return {};
        }
        r.data = stream.mid(at + 4, length);
        records.push_back(r);
        at += 4 + length;
        if (r.type == 0x000A) return records;
    }
    *why = QStringLiteral("no EOF record");
    return {};
}

SharedStrings sharedStrings(const std::vector<Record>& records, size_t sstIndex)
{
    SharedStrings out;
    size_t rec = sstIndex;
    qsizetype pos = 8;
    out.total = u32(records.at(rec).data, 0);
    out.unique = u32(records.at(rec).data, 4);
    const auto nextRecord = [&]() {
        ++rec;
        pos = 0;
        if (rec >= records.size() || records.at(rec).type != 0x003C) {
            out.problem = QStringLiteral("strings run past the SST and its CONTINUE records");
            return false;
        }
        ++out.continueRecords;
        return true;
    };
    for (quint32 n = 0; n < out.unique; ++n) {
        if (pos == records.at(rec).data.size() && !nextRecord()) return out;
        const QByteArray* data = &records.at(rec).data;
        if (data->size() - pos < 3) {
            out.problem = QStringLiteral("header of string %1 split").arg(n);
            return out;
        }
        out.stringOffsets.push_back(records.at(rec).offset + 4 + pos);
        out.stringRecordOffsets.push_back(4 + pos);
        int remaining = u16(*data, pos);
        quint8 options = quint8(data->at(pos + 2));
        pos += 3;
        if (options & ~0x01) {
            out.problem = QStringLiteral("unexpected option byte %1").arg(options);
            return out;
        }
        QString text;
        bool firstPart = true;
        while (remaining > 0) {
            if (pos == data->size()) {
                if (!nextRecord()) return out;
                data = &records.at(rec).data;
                options = quint8(data->at(0));
                pos = 1;
                if (options & ~0x01) {
                    out.problem = QStringLiteral("unexpected continued option byte");
                    return out;
                }
                if (firstPart) ++((options & 1) ? out.splitWide : out.splitNarrow);
                firstPart = false;
            }
            const int charSize = (options & 1) ? 2 : 1;
            if ((data->size() - pos) < charSize) {
                out.problem = QStringLiteral("character of string %1 split").arg(n);
                return out;
            }
            if (charSize == 2)
                text.append(QChar(u16(*data, pos)));
            else
                text.append(QChar(quint8(data->at(pos))));
            pos += charSize;
            --remaining;
        }
        out.strings.append(text);
    }
    if (pos != records.at(rec).data.size())
        out.problem = QStringLiteral("bytes left over after the last string");
    return out;
}

} // namespace biff
