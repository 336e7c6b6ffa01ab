#include "output/compound_file.h"
#include "output/le_bytes.h"
#include "output/workbook_file.h"

#include <QHash>
#include <algorithm>

// Excel 97-2003 (BIFF8) workbook stream, one worksheet. Every record is
//   type u16, data length u16 (at most 8224), data.
// All integers little-endian.
//
// Workbook globals, at stream offset 0:
//   type    record      data
//   0x0809  BOF         u16 0x0600 (BIFF8), u16 0x0005 (globals), u16 build, u16 year,
//                       u32 history flags 0, u32 lowest version 6
//   0x0042  CODEPAGE    u16 1200 (UTF-16)
//   0x003D  WINDOW1     u16 x, u16 y, u16 width, u16 height (twips), u16 flags 0x0038,
//                       u16 active sheet 0, u16 first tab 0, u16 selected tabs 1,
//                       u16 tab bar width 600 (per mille)
//   0x0022  DATEMODE    u16 0 (1900 date system)
//   0x0031  FONT x5     u16 height (twips), u16 flags, u16 colour 0x7FFF, u16 weight 400,
//                       u16 escapement, u8 underline, u8 family, u8 charset, u8 0,
//                       u8 name length, u8 1 (UTF-16), name. Font indexes are 0, 1, 2, 3, 5:
//                       index 4 does not exist by convention.
//   0x00E0  XF x17      u16 font, u16 number format,
//                       u16 bit 0 locked, bit 2 style XF, bits 4-15 parent (0xFFF in a style),
//                       u8 bits 0-2 horizontal alignment (0 general, 2 centre),
//                          bits 4-6 vertical alignment (2 bottom),
//                       u8 rotation, u8 indent, u8 bits 2-7 attribute-group flags,
//                       u32, u32 borders and fill pattern, u16 fill colours 0x20C0.
//                       XFs 0-14 are the style XFs Excel expects, 15 the default cell XF,
//                       16 the centred cell XF.
//   0x0293  STYLE       u16 0x8000 | XF 0 (built-in), u8 0 (Normal), u8 0xFF
//   0x0085  BOUNDSHEET  u32 stream offset of the sheet's BOF, u8 0 visible, u8 0 worksheet,
//                       u8 name length, u8 0 (8-bit), name "Sheet1"
//   0x00FC  SST         u32 cell references, u32 unique strings, then each string:
//                       u16 character count, u8 0 (8-bit chars) or 1 (UTF-16LE), characters.
//   0x003C  CONTINUE    more SST data once the record holds 8224 bytes. A string header is
//                       never split; when characters are, the CONTINUE data starts with the
//                       option byte (0 or 1) of the remaining characters.
//   0x00FF  EXTSST      u16 strings per bucket, then per bucket: u32 stream offset of the
//                       bucket's first string, u16 its offset from its record's start, u16 0
//   0x000A  EOF
//
// Worksheet substream:
//   0x0809  BOF         as above with type 0x0010 (worksheet)
//   0x0200  DIMENSIONS  u32 first row, u32 last row + 1, u16 first column, u16 last column + 1,
//                       u16 0
//   0x00FD  LABELSST    u16 row, u16 column, u16 XF, u32 SST index   (cell with text)
//   0x0201  BLANK       u16 row, u16 column, u16 XF                 (empty centred cell)
//   0x023E  WINDOW2     u16 flags 0x06B6, u16 top row, u16 left column, u32 header colour 64,
//                       u16 0, u16 0, u32 0
//   0x000A  EOF

namespace tesvaron {

namespace {

constexpr quint16 kBof = 0x0809;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kCodepage = 0x0042;
constexpr quint16 kWindow1 = 0x003D;
constexpr quint16 kDatemode = 0x0022;
constexpr quint16 kFont = 0x0031;
constexpr quint16 kXf = 0x00E0;
constexpr quint16 kStyle = 0x0293;
constexpr quint16 kBoundsheet = 0x0085;
constexpr quint16 kSst = 0x00FC;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kExtsst = 0x00FF;
constexpr quint16 kDimensions = 0x0200;
constexpr quint16 kLabelSst = 0x00FD;
constexpr quint16 kBlank = 0x0201;
constexpr quint16 kWindow2 = 0x023E;

constexpr int kMaxRecordData = 8224;
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
constexpr int kMaxChars = 32767;

constexpr quint16 kStyleXfCount = 15;
constexpr quint16 kDefaultXf = 15;
constexpr quint16 kCentredXf = 16;
constexpr quint8 kAlignGeneral = 0;
constexpr quint8 kAlignCentre = 2;

void appendRecord(QByteArray& out, quint16 type, const QByteArray& data)
{
    le::appendU16(out, type);
    le::appendU16(out, quint16(data.size()));
    out.append(data);
}

QByteArray bofData(quint16 substreamType)
{
    QByteArray data;
    le::appendU16(data, 0x0600);
    le::appendU16(data, substreamType);
    le::appendU16(data, 0x0DBB);
    le::appendU16(data, 0x07CC);
    le::appendU32(data, 0);
    le::appendU32(data, 6);
    return data;
}

QByteArray fontData()
{
    // 宋体 11 pt, GB2312 character set: what a Chinese spreadsheet application starts with.
    const QString name = QStringLiteral("宋体");
    QByteArray data;
    le::appendU16(data, 220);
    le::appendU16(data, 0);
    le::appendU16(data, 0x7FFF);
    le::appendU16(data, 400);
    le::appendU16(data, 0);
    le::appendU8(data, 0);
    le::appendU8(data, 0);
    le::appendU8(data, 0x86);
    le::appendU8(data, 0);
    le::appendU8(data, quint8(name.size()));
    le::appendU8(data, 1);
    for (const QChar ch : name)
        le::appendU16(data, ch.unicode());
    return data;
}

QByteArray xfData(bool style, quint8 horizontal, quint8 attributeFlags)
{
    QByteArray data;
    le::appendU16(data, 0);                            // font 0
    le::appendU16(data, 0);                            // format "General"
    le::appendU16(data, style ? 0xFFF5 : 0x0001);      // locked; style XF without parent
    le::appendU8(data, quint8(horizontal | (2 << 4))); // bottom-aligned
    le::appendU8(data, 0);
    le::appendU8(data, 0);
    le::appendU8(data, attributeFlags);
    le::appendU32(data, 0);
    le::appendU32(data, 0);
    le::appendU16(data, 0x20C0);
    return data;
}

bool needsWideChars(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar ch) { return ch.unicode() > 0xFF; });
}

// Writes the SST and its CONTINUE records into the globals, which start at stream offset 0, so
// positions in `out` are stream offsets as EXTSST wants them.
class SstWriter
{
public:
    explicit SstWriter(QByteArray& out) : m_out(out) {}

    void begin(quint32 totalReferences, quint32 uniqueStrings, int stringsPerBucket)
    {
        m_stringsPerBucket = stringsPerBucket;
        beginRecord(kSst);
        le::appendU32(m_out, totalReferences);
        le::appendU32(m_out, uniqueStrings);
    }

    void add(const QString& text)
    {
        const bool wide = needsWideChars(text);
        const int charSize = wide ? 2 : 1;
        // Header and at least one character together, so that a split never cuts the header.
        if (room() < 3 + charSize) continueRecord();
        if (m_count % m_stringsPerBucket == 0) {
            m_buckets.push_back({quint32(m_out.size()), quint16(m_out.size() - m_recordStart)});
        }
        ++m_count;
        le::appendU16(m_out, quint16(text.size()));
        le::appendU8(m_out, wide ? 1 : 0);
        qsizetype done = 0;
        for (;;) {
            const qsizetype n = std::min<qsizetype>(room() / charSize, text.size() - done);
            for (qsizetype i = done; i < done + n; ++i) {
                if (wide)
                    le::appendU16(m_out, text.at(i).unicode());
                else
                    le::appendU8(m_out, quint8(text.at(i).unicode()));
            }
            done += n;
            if (done == text.size()) break;
            continueRecord();
            le::appendU8(m_out, wide ? 1 : 0);
        }
    }

    void end()
    {
        finishRecord();
        QByteArray extsst;
        le::appendU16(extsst, quint16(m_stringsPerBucket));
        for (const Bucket& bucket : m_buckets) {
            le::appendU32(extsst, bucket.streamOffset);
            le::appendU16(extsst, bucket.recordOffset);
            le::appendU16(extsst, 0);
        }
        appendRecord(m_out, kExtsst, extsst);
    }

private:
    struct Bucket
    {
        quint32 streamOffset;
        quint16 recordOffset;
    };

    int room() const { return kMaxRecordData - int(m_out.size() - m_recordStart - 4); }

    void beginRecord(quint16 type)
    {
        m_recordStart = m_out.size();
        le::appendU16(m_out, type);
        le::appendU16(m_out, 0);
    }

    void finishRecord()
    {
        le::putU16(m_out, m_recordStart + 2, quint16(m_out.size() - m_recordStart - 4));
    }

    void continueRecord()
    {
        finishRecord();
        beginRecord(kContinue);
    }

    QByteArray& m_out;
    qsizetype m_recordStart = 0;
    int m_stringsPerBucket = 8;
    int m_count = 0;
    std::vector<Bucket> m_buckets;
};

struct CellRecord
{
    quint16 row;
    quint16 column;
    quint16 xf;
    qint32 sstIndex; // -1: BLANK
};

} // namespace

QByteArray biff8Workbook(const SheetCells& cells)
{
    // Collect the cell records in row-major order, the order Excel writes and expects them, and
    // the shared strings in order of first use. Cells beyond the format's 65536 rows and
    // 256 columns are left out; texts are cut to the format's 32767 characters.
    std::vector<CellRecord> records;
    std::vector<QString> strings;
    QHash<QString, qint32> stringIndex;
    const int rowCount = int(std::min<size_t>(cells.size(), kMaxRows));
    for (int r = 0; r < rowCount; ++r) {
        const auto& row = cells[size_t(r)];
        const int columnCount = int(std::min<size_t>(row.size(), kMaxColumns));
        for (int c = 0; c < columnCount; ++c) {
            const SheetCell& cell = row[size_t(c)];
            const quint16 xf = cell.centred ? kCentredXf : kDefaultXf;
            if (cell.text.isEmpty()) {
                // An empty shared string breaks some readers; an unformatted empty cell needs
                // no record at all.
                if (cell.centred) records.push_back({quint16(r), quint16(c), xf, -1});
                continue;
            }
            const QString text = cell.text.left(kMaxChars);
            auto it = stringIndex.constFind(text);
            if (it == stringIndex.cend()) {
                it = stringIndex.insert(text, qint32(strings.size()));
                strings.push_back(text);
            }
            records.push_back({quint16(r), quint16(c), xf, it.value()});
        }
    }

    QByteArray out;
    appendRecord(out, kBof, bofData(0x0005));
    {
        QByteArray data;
        le::appendU16(data, 1200);
        appendRecord(out, kCodepage, data);
    }
    {
        QByteArray data;
        for (const quint16 v : {0, 0, 0x3000, 0x1E00, 0x0038, 0, 0, 1, 600})
            le::appendU16(data, v);
        appendRecord(out, kWindow1, data);
    }
    appendRecord(out, kDatemode, QByteArray(2, '\0'));
    for (int i = 0; i < 5; ++i)
        appendRecord(out, kFont, fontData());
    appendRecord(out, kXf, xfData(true, kAlignGeneral, 0x00));
    for (int i = 1; i < kStyleXfCount; ++i)
        appendRecord(out, kXf, xfData(true, kAlignGeneral, 0xF4));
    appendRecord(out, kXf, xfData(false, kAlignGeneral, 0x00));
    appendRecord(out, kXf, xfData(false, kAlignCentre, 0x10)); // alignment differs from style
    appendRecord(out, kStyle, QByteArray("\x00\x80\x00\xFF", 4));

    const qsizetype sheetOffsetAt = out.size() + 4;
    {
        const QByteArray name = QByteArrayLiteral("Sheet1");
        QByteArray data;
        le::appendU32(data, 0); // patched below
        le::appendU8(data, 0);
        le::appendU8(data, 0);
        le::appendU8(data, quint8(name.size()));
        le::appendU8(data, 0);
        data.append(name);
        appendRecord(out, kBoundsheet, data);
    }

    {
        const quint32 references = quint32(std::count_if(
            records.cbegin(), records.cend(), [](const CellRecord& c) { return c.sstIndex >= 0; }));
        // At most 128 buckets keep EXTSST well inside one record.
        const int perBucket = std::max(8, int((strings.size() + 127) / 128));
        SstWriter sst(out);
        sst.begin(references, quint32(strings.size()), perBucket);
        for (const QString& text : strings)
            sst.add(text);
        sst.end();
    }
    appendRecord(out, kEof, {});

    le::putU32(out, sheetOffsetAt, quint32(out.size()));
    appendRecord(out, kBof, bofData(0x0010));
    {
        quint32 firstRow = 0, lastRow = 0;
        quint16 firstColumn = 0, lastColumn = 0;
        if (!records.empty()) {
            firstRow = records.front().row;
            lastRow = quint32(records.back().row) + 1;
            firstColumn = kMaxColumns;
            for (const CellRecord& c : records) {
                firstColumn = std::min(firstColumn, c.column);
                lastColumn = std::max(lastColumn, quint16(c.column + 1));
            }
        }
        QByteArray data;
        le::appendU32(data, firstRow);
        le::appendU32(data, lastRow);
        le::appendU16(data, firstColumn);
        le::appendU16(data, lastColumn);
        le::appendU16(data, 0);
        appendRecord(out, kDimensions, data);
    }
    for (const CellRecord& c : records) {
        QByteArray data;
        le::appendU16(data, c.row);
        le::appendU16(data, c.column);
        le::appendU16(data, c.xf);
        if (c.sstIndex >= 0) {
            le::appendU32(data, quint32(c.sstIndex));
            appendRecord(out, kLabelSst, data);
        } else {
            appendRecord(out, kBlank, data);
        }
    }
    {
        QByteArray data;
        le::appendU16(data, 0x06B6);
        le::appendU16(data, 0);
        le::appendU16(data, 0);
        le::appendU32(data, 64);
        le::appendU16(data, 0);
        le::appendU16(data, 0);
        le::appendU32(data, 0);
        appendRecord(out, kWindow2, data);
    }
    appendRecord(out, kEof, {});

    return singleStreamCompoundFile(QStringLiteral("Workbook"), out);
}

} // namespace tesvaron
