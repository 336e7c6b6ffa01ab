#include "output/compound_file.h"

#include "output/le_bytes.h"

#include <vector>

// Compound file, version 3, as written here (all integers little-endian):
//
//   file offset   size  content
//   0             512   header
//   512 + 512*s   512   sector s
//
// Header:
//   0x00  8    signature D0 CF 11 E0 A1 B1 1A E1
//   0x08  16   class id, zero
//   0x18  2    minor version 0x003E
//   0x1A  2    major version 0x0003
//   0x1C  2    byte order mark 0xFFFE
//   0x1E  2    sector shift 9 (512-byte sectors)
//   0x20  2    mini sector shift 6 (64-byte mini sectors)
//   0x22  6    reserved, zero
//   0x28  4    directory sector count, zero for version 3
//   0x2C  4    FAT sector count
//   0x30  4    first directory sector
//   0x34  4    transaction signature, zero
//   0x38  4    mini stream cutoff 4096
//   0x3C  4    first mini FAT sector, ENDOFCHAIN (no mini stream)
//   0x40  4    mini FAT sector count, zero
//   0x44  4    first DIFAT sector, or ENDOFCHAIN
//   0x48  4    DIFAT sector count
//   0x4C  436  the first 109 FAT sector numbers, FREESECT where unused
//
// Sectors, in this order: the stream, one directory sector, the FAT sectors, the DIFAT sectors
// (only when more than 109 FAT sectors are needed; each lists 127 further FAT sectors and then
// the next DIFAT sector). FAT entry k is the sector after sector k in its chain, ENDOFCHAIN at
// the end of a chain, FATSECT / DIFSECT for the FAT's own sectors and FREESECT for the rest.
//
// Directory entry, 128 bytes; four to a sector:
//   0x00  64   name, UTF-16LE, zero-terminated
//   0x40  2    name length in bytes including the terminator
//   0x42  1    object type: 5 root storage, 2 stream, 0 unused
//   0x43  1    colour: 1 black
//   0x44  4    left sibling, NOSTREAM
//   0x48  4    right sibling, NOSTREAM
//   0x4C  4    child: the root's is entry 1 (the stream), the others NOSTREAM
//   0x50  16   class id, zero
//   0x60  4    state bits, zero
//   0x64  16   creation and modification times, zero
//   0x74  4    first sector (the root's: ENDOFCHAIN, no mini stream)
//   0x78  8    size in bytes

namespace tesvaron {

namespace {

constexpr int kSectorSize = 512;
constexpr int kEntriesPerFatSector = kSectorSize / 4;
constexpr int kHeaderFatSlots = 109;
constexpr int kFatSlotsPerDifatSector = kEntriesPerFatSector - 1;
constexpr int kMiniStreamCutoff = 4096;
constexpr int kDirectoryEntrySize = 128;

constexpr quint32 kFreeSect = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;

constexpr quint8 kTypeStream = 2;
constexpr quint8 kTypeRoot = 5;
constexpr quint8 kBlack = 1;

QByteArray directoryEntry(const QString& name, quint8 type, quint32 child, quint32 firstSector,
                          quint32 size)
{
    QByteArray entry;
    const QString shortName = name.left(31);
    for (const QChar ch : shortName)
        le::appendU16(entry, ch.unicode());
    entry.append(64 - entry.size(), '\0');
    le::appendU16(entry, name.isEmpty() ? 0 : quint16((shortName.size() + 1) * 2));
    le::appendU8(entry, type);
    le::appendU8(entry, type == 0 ? 0 : kBlack);
    le::appendU32(entry, kNoStream);
    le::appendU32(entry, kNoStream);
    le::appendU32(entry, child);
    entry.append(16 + 4 + 16, '\0');
    le::appendU32(entry, firstSector);
    le::appendU32(entry, size);
    le::appendU32(entry, 0);
    return entry;
}

} // namespace

QByteArray singleStreamCompoundFile(const QString& streamName, QByteArray stream)
{
    if (stream.size() < kMiniStreamCutoff) stream.append(kMiniStreamCutoff - stream.size(), '\0');

    const quint32 streamSectors = quint32((stream.size() + kSectorSize - 1) / kSectorSize);
    const quint32 directorySector = streamSectors;

    // The FAT must also map its own sectors and those of the DIFAT.
    quint32 fatSectors = 1;
    quint32 difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > kHeaderFatSlots
                           ? (fatSectors - kHeaderFatSlots + kFatSlotsPerDifatSector - 1) /
                                 kFatSlotsPerDifatSector
                           : 0;
        const quint32 total = streamSectors + 1 + fatSectors + difatSectors;
        if (fatSectors * kEntriesPerFatSector >= total) break;
        ++fatSectors;
    }
    const quint32 firstFatSector = directorySector + 1;
    const quint32 firstDifatSector = firstFatSector + fatSectors;

    std::vector<quint32> fat(fatSectors * kEntriesPerFatSector, kFreeSect);
    for (quint32 s = 0; s < streamSectors; ++s)
        fat[s] = s + 1 < streamSectors ? s + 1 : kEndOfChain;
    fat[directorySector] = kEndOfChain;
    for (quint32 s = 0; s < fatSectors; ++s)
        fat[firstFatSector + s] = kFatSect;
    for (quint32 s = 0; s < difatSectors; ++s)
        fat[firstDifatSector + s] = kDifSect;

    QByteArray out;
    out.reserve(kSectorSize * (1 + qsizetype(firstDifatSector + difatSectors)));

    // Header.
    out.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    out.append(16, '\0');
    le::appendU16(out, 0x003E);
    le::appendU16(out, 0x0003);
    le::appendU16(out, 0xFFFE);
    le::appendU16(out, 9);
    le::appendU16(out, 6);
    out.append(6, '\0');
    le::appendU32(out, 0);
    le::appendU32(out, fatSectors);
    le::appendU32(out, directorySector);
    le::appendU32(out, 0);
    le::appendU32(out, kMiniStreamCutoff);
    le::appendU32(out, kEndOfChain);
    le::appendU32(out, 0);
    le::appendU32(out, difatSectors > 0 ? firstDifatSector : kEndOfChain);
    le::appendU32(out, difatSectors);
    for (quint32 i = 0; i < kHeaderFatSlots; ++i)
        le::appendU32(out, i < fatSectors ? firstFatSector + i : kFreeSect);

    // Stream sectors, the last one filled up with zeros.
    out.append(stream);
    out.append(qsizetype(streamSectors) * kSectorSize - stream.size(), '\0');

    // Directory: root, the stream, two unused entries.
    out.append(directoryEntry(QStringLiteral("Root Entry"), kTypeRoot, 1, kEndOfChain, 0));
    out.append(directoryEntry(streamName, kTypeStream, kNoStream, 0, quint32(stream.size())));
    for (int i = 2; i < kSectorSize / kDirectoryEntrySize; ++i)
        out.append(directoryEntry(QString(), 0, kNoStream, 0, 0));

    for (const quint32 entry : fat)
        le::appendU32(out, entry);

    for (quint32 d = 0; d < difatSectors; ++d) {
        for (quint32 i = 0; i < kFatSlotsPerDifatSector; ++i) {
            const quint32 fatIndex = kHeaderFatSlots + d * kFatSlotsPerDifatSector + i;
            le::appendU32(out, fatIndex < fatSectors ? firstFatSector + fatIndex : kFreeSect);
        }
        le::appendU32(out, d + 1 < difatSectors ? firstDifatSector + d + 1 : kEndOfChain);
    }
    return out;
}

} // namespace tesvaron
