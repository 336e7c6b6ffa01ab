// Workbook files read back through independent readers: freexl, a byte-level record reader,
// unzip for .xlsx and, where installed, LibreOffice.

#include "biff_reader.h"
#include "output/workbook_file.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <freexl.h>

using tesvaron::biff8Workbook;
using tesvaron::SheetCell;
using tesvaron::SheetCells;
using tesvaron::writeWorkbookFile;

namespace {

constexpr quint16 kLabelSst = 0x00FD;
constexpr quint16 kBlank = 0x0201;

// The history table as the window hands it over: titles, row numbers as text, some records.
SheetCells historyCells()
{
    SheetCells cells(100, std::vector<SheetCell>(4));
    const QStringList titles = {QStringLiteral("NO."), QStringLiteral("对地电压"),
                                QStringLiteral("    线电压  "), QStringLiteral("   电      流")};
    for (int c = 0; c < 4; ++c)
        cells[0][size_t(c)] = {titles.at(c), true};
    for (int r = 1; r < 100; ++r) {
        cells[size_t(r)][0] = {QString::number(r), true};
        for (int c = 1; c < 4; ++c)
            cells[size_t(r)][size_t(c)].centred = true;
    }
    for (int r = 1; r <= 12; ++r) {
        cells[size_t(r)][1].text = QStringLiteral("%1.%2kV").arg(r).arg(r % 10);
        cells[size_t(r)][2].text = r % 2 ? QStringLiteral("10kV") : QStringLiteral("35kV");
        cells[size_t(r)][3].text = QStringLiteral("%1.25A").arg(r);
    }
    cells[13][1].text = QStringLiteral("NO--");
    return cells;
}

// A freexl handle that closes itself; null when the file did not open.
using FreexlHandle = std::unique_ptr<const void, decltype([](const void* h) { freexl_close(h); })>;

FreexlHandle openFreexl(const QString& path)
{
    const void* handle = nullptr;
    if (freexl_open(QFile::encodeName(path).constData(), &handle) == FREEXL_OK)
        return FreexlHandle(handle);
    return nullptr;
}

// Compares every cell of the first worksheet with `cells`: texts as shared strings, empty
// texts as empty cells. The version, code page and sheet name are pinned byte by byte in
// historyWorkbook.
void compareThroughFreexl(const QString& path, const SheetCells& cells, int columns)
{
    const FreexlHandle file = openFreexl(path);
    QVERIFY(file);
    QCOMPARE(freexl_select_active_worksheet(file.get(), 0), FREEXL_OK);
    unsigned int rows = 0;
    unsigned short cols = 0;
    QCOMPARE(freexl_worksheet_dimensions(file.get(), &rows, &cols), FREEXL_OK);
    QCOMPARE(rows, unsigned(cells.size()));
    QCOMPARE(int(cols), columns);
    for (unsigned r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < cols; ++c) {
            FreeXL_CellValue value;
            QCOMPARE(freexl_get_cell_value(file.get(), r, c, &value), FREEXL_OK);
            const QString expected = c < cells[r].size() ? cells[r][c].text : QString();
            if (expected.isEmpty()) {
                QVERIFY2(value.type == FREEXL_CELL_NULL,
                         qPrintable(QStringLiteral("cell %1,%2").arg(r).arg(c)));
            } else {
                QCOMPARE(value.type, quint8(FREEXL_CELL_SST_TEXT));
                QCOMPARE(QString::fromUtf8(value.value.text_value), expected);
            }
        }
    }
}

// Writes `cells` to `path`; false, with a warning, when the writer fails.
bool write(const QString& path, const SheetCells& cells)
{
    QString error;
    const bool written = writeWorkbookFile(path, cells, &error);
    if (!written) qWarning() << error;
    return written;
}

// Writes `cells` to the .xls file `path`, compares it through freexl and returns its bytes.
void writeAndCompare(const QString& path, const SheetCells& cells, int columns,
                     QByteArray* bytes = nullptr)
{
    QVERIFY(write(path, cells));
    compareThroughFreexl(path, cells, columns);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (bytes) *bytes = file.readAll();
}

struct ParsedWorkbook
{
    std::vector<biff::Record> globals;
    std::vector<biff::Record> sheet;
};

ParsedWorkbook parse(const QByteArray& file)
{
    ParsedWorkbook out;
    QString why;
    const QByteArray stream = biff::compoundStream(file, QStringLiteral("Workbook"), &why);
    if (!stream.isEmpty()) out.globals = biff::substream(stream, 0, &why);
    for (const biff::Record& r : out.globals) {
        if (r.type == 0x0085) out.sheet = biff::substream(stream, biff::u32(r.data, 0), &why);
    }
    if (out.sheet.empty()) qWarning() << why;
    return out;
}

std::vector<QByteArray> recordsOfType(const std::vector<biff::Record>& records, quint16 type)
{
    std::vector<QByteArray> out;
    for (const biff::Record& r : records) {
        if (r.type == type) out.push_back(r.data);
    }
    return out;
}

size_t indexOfType(const std::vector<biff::Record>& records, quint16 type)
{
    const auto has = [type](const biff::Record& r) { return r.type == type; };
    return size_t(std::find_if(records.begin(), records.end(), has) - records.begin());
}

struct CellXf
{
    quint16 type;
    quint16 xf;
};

QMap<QPair<int, int>, CellXf> cellRecords(const std::vector<biff::Record>& sheet)
{
    QMap<QPair<int, int>, CellXf> out;
    for (const biff::Record& r : sheet) {
        if (r.type == kLabelSst || r.type == kBlank)
            out.insert({biff::u16(r.data, 0), biff::u16(r.data, 2)},
                       {r.type, biff::u16(r.data, 4)});
    }
    return out;
}

QByteArray unzipMember(const QString& archive, const QString& member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0) return {};
    return unzip.readAllStandardOutput();
}

} // namespace

class WorkbookFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void historyWorkbook();
    void plainAndCentredCells();
    void longTableContinuesSharedStrings();
    void sharedStringAtRecordEnd_data();
    void sharedStringAtRecordEnd();
    void emptyWorkbook();
    void formatFollowsName_data();
    void formatFollowsName();
    void xlsxContents();
    void libreOfficeReadsXls();

private:
    QString file(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void WorkbookFileTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

// The history table through freexl, then byte by byte: the globals and the sheet.
void WorkbookFileTest::historyWorkbook()
{
    const SheetCells cells = historyCells();
    QByteArray bytes;
    writeAndCompare(file("history.xls"), cells, 4, &bytes);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(bytes.left(8), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
    QCOMPARE(bytes.size() % 512, 0);
    const ParsedWorkbook wb = parse(bytes);
    QVERIFY(!wb.sheet.empty());

    const std::vector<biff::Record>& g = wb.globals;
    QCOMPARE(g.front().type, quint16(0x0809));
    QCOMPARE(g.front().data.size(), 16);
    QCOMPARE(biff::u16(g.front().data, 0), quint16(0x0600));
    QCOMPARE(biff::u16(g.front().data, 2), quint16(0x0005));
    QCOMPARE(g.back().type, quint16(0x000A));
    // CODEPAGE, WINDOW1, DATEMODE, STYLE and BOUNDSHEET once each; at least five FONTs.
    for (const quint16 type : {0x0042, 0x003D, 0x0022, 0x0293, 0x0085})
        QVERIFY2(recordsOfType(g, type).size() == 1, qPrintable(QString::number(type, 16)));
    QVERIFY(recordsOfType(g, 0x0031).size() >= 5);
    QCOMPARE(biff::u16(recordsOfType(g, 0x0042).front(), 0), quint16(1200));
    QCOMPARE(recordsOfType(g, 0x0293).front(), QByteArray("\x00\x80\x00\xFF", 4)); // Normal, XF 0
    QCOMPARE(recordsOfType(g, 0x0085).front().mid(6), QByteArray("\x06\x00Sheet1", 8));

    const auto xfs = recordsOfType(g, 0x00E0);
    QCOMPARE(xfs.size(), size_t(17));
    for (size_t i = 0; i < 17; ++i) // 15 style XFs, then the cell XFs
        QCOMPARE(bool(biff::u16(xfs[i], 4) & 0x0004), i < 15);
    QCOMPARE(xfs[15].at(6) & 0x07, 0); // general
    QCOMPARE(xfs[16].at(6) & 0x07, 2); // centred

    const size_t sst = indexOfType(g, 0x00FC);
    QVERIFY(sst < g.size());
    const biff::SharedStrings strings = biff::sharedStrings(g, sst);
    QVERIFY2(strings.problem.isEmpty(), qPrintable(strings.problem));
    QCOMPARE(strings.strings.mid(0, 5),
             (QStringList{"NO.", QStringLiteral("对地电压"), QStringLiteral("    线电压  "),
                          QStringLiteral("   电      流"), "1"}));
    QCOMPARE(strings.total, 4u + 99u + 12u * 3u + 1u);
    // 4 titles, 99 row numbers, 12 x 3 values plus "NO--", of which "10kV"/"35kV" repeat.
    QCOMPARE(strings.unique, 4u + 99u + 12u + 2u + 12u + 1u);
    QVERIFY(indexOfType(g, 0x00FF) < g.size()); // EXTSST

    const std::vector<biff::Record>& s = wb.sheet;
    QCOMPARE(s.front().type, quint16(0x0809));
    QCOMPARE(biff::u16(s.front().data, 2), quint16(0x0010));
    QCOMPARE(s[1].type, quint16(0x0200)); // DIMENSIONS before the cells
    QCOMPARE(s[1].data, QByteArray("\0\0\0\0\x64\0\0\0\0\0\x04\0\0\0", 14));
    QCOMPARE(s[s.size() - 2].type, quint16(0x023E)); // WINDOW2
    QCOMPARE(s.back().type, quint16(0x000A));
    const auto records = cellRecords(s);
    QCOMPARE(records.size(), 400);
    int previous = -1;
    for (const biff::Record& r : s) {
        if (r.type != kLabelSst && r.type != kBlank) continue;
        const int position = biff::u16(r.data, 0) * 256 + biff::u16(r.data, 2);
        QVERIFY2(position > previous, "cells in row-major order");
        previous = position;
    }
    for (int r = 0; r < 100; ++r) {
        for (int c = 0; c < 4; ++c) {
            const CellXf cell = records.value({r, c});
            QCOMPARE(cell.type, cells[size_t(r)][size_t(c)].text.isEmpty() ? kBlank : kLabelSst);
            QCOMPARE(cell.xf, quint16(16)); // the centred cell XF
        }
    }
}

void WorkbookFileTest::plainAndCentredCells()
{
    const SheetCells cells = {
        {{"a", true}, {"b", false}, {"", true}, {"", false}},
        {{"", false}, {QStringLiteral("电"), false}},
    };
    // The last plain empty cell has no record, so freexl sees three columns.
    QByteArray bytes;
    writeAndCompare(file("table.xls"), cells, 3, &bytes);
    const ParsedWorkbook wb = parse(bytes);
    QVERIFY(!wb.sheet.empty());
    const auto xfs = recordsOfType(wb.globals, 0x00E0);
    const auto records = cellRecords(wb.sheet);
    QCOMPARE(records.size(), 4); // the two plain empty cells need no record
    const auto alignment = [&](int r, int c) { return xfs.at(records.value({r, c}).xf).at(6) & 7; };
    QCOMPARE(records.value({0, 0}).type, kLabelSst);
    QCOMPARE(alignment(0, 0), 2);
    QCOMPARE(alignment(0, 1), 0);
    QCOMPARE(records.value({0, 2}).type, kBlank);
    QCOMPARE(alignment(0, 2), 2);
    QCOMPARE(alignment(1, 1), 0);
}

void WorkbookFileTest::longTableContinuesSharedStrings()
{
    SheetCells cells;
    QStringList distinct;
    for (int i = 0; i < 2000; ++i) {
        QString narrow = QStringLiteral("row %1 café µA %2").arg(i).arg(i * 7919 % 1000);
        QString wide = QStringLiteral("第%1行 电压 %2kV").arg(i).arg(i % 37);
        if (i % 250 == 17) {
            narrow = QString(3000, QLatin1Char('x')) + narrow;
            wide = QString(3000, QChar(0x6D41)) + wide; // 流
        }
        cells.push_back({{narrow, true}, {wide, i % 2 == 0}, {QStringLiteral("同一个"), true}});
        distinct << narrow << wide;
    }
    distinct.insert(2, QStringLiteral("同一个")); // first used in the first row

    QByteArray bytes;
    writeAndCompare(file("table.xls"), cells, 3, &bytes);
    const ParsedWorkbook wb = parse(bytes);
    QVERIFY(!wb.sheet.empty());
    for (const biff::Record& r : wb.globals)
        QVERIFY(r.data.size() <= 8224);

    const size_t sst = indexOfType(wb.globals, 0x00FC);
    const biff::SharedStrings strings = biff::sharedStrings(wb.globals, sst);
    QVERIFY2(strings.problem.isEmpty(), qPrintable(strings.problem));
    QVERIFY(strings.continueRecords > 5);
    QVERIFY(strings.splitNarrow > 0);
    QVERIFY(strings.splitWide > 0);
    QCOMPARE(strings.total, 6000u);
    QCOMPARE(strings.unique, 4001u);
    QCOMPARE(strings.strings, distinct);

    // EXTSST buckets point at the first string of every bucket.
    const size_t extsst = sst + 1 + size_t(strings.continueRecords);
    QCOMPARE(wb.globals.at(extsst).type, quint16(0x00FF));
    const QByteArray ext = wb.globals.at(extsst).data;
    const int perBucket = biff::u16(ext, 0);
    QVERIFY(perBucket >= 8);
    const int buckets = (4001 + perBucket - 1) / perBucket;
    QCOMPARE(ext.size(), 2 + 8 * buckets);
    for (int b = 0; b < buckets; ++b) {
        const size_t first = size_t(b * perBucket);
        QCOMPARE(qsizetype(biff::u32(ext, 2 + 8 * b)), strings.stringOffsets.at(first));
        QCOMPARE(qsizetype(biff::u16(ext, 6 + 8 * b)), strings.stringRecordOffsets.at(first));
    }
}

void WorkbookFileTest::sharedStringAtRecordEnd_data()
{
    QTest::addColumn<int>("room");
    QTest::addColumn<bool>("wide");
    QTest::addColumn<int>("sstSize");
    // `room`: bytes left in the SST record after the first string. The second string starts
    // there only when its 3 header bytes and one character fit; otherwise a CONTINUE takes it.
    QTest::newRow("8-bit, record full") << 0 << false << 8224;
    QTest::newRow("8-bit, 3 left: header alone") << 3 << false << 8221;
    QTest::newRow("8-bit, 4 left: header and a character") << 4 << false << 8224;
    QTest::newRow("UTF-16, 4 left: header alone") << 4 << true << 8220;
    QTest::newRow("UTF-16, 5 left: header and a character") << 5 << true << 8224;
    QTest::newRow("UTF-16, 6 left: odd byte unused") << 6 << true << 8223;
}

void WorkbookFileTest::sharedStringAtRecordEnd()
{
    QFETCH(int, room);
    QFETCH(bool, wide);
    QFETCH(int, sstSize);
    // SST data: 8 bytes of counts, then 3 header bytes and one byte per 8-bit character.
    const QString first(8224 - 8 - 3 - room, QLatin1Char('a'));
    const QString second = wide ? QStringLiteral("电压电压") : QStringLiteral("bcde");
    const SheetCells cells = {{{first, true}, {second, true}, {QStringLiteral("x"), true}}};
    QByteArray bytes;
    writeAndCompare(file("table.xls"), cells, 3, &bytes);
    const ParsedWorkbook wb = parse(bytes);
    QVERIFY(!wb.globals.empty());
    const size_t sst = indexOfType(wb.globals, 0x00FC);
    QCOMPARE(wb.globals.at(sst).data.size(), sstSize);
    QCOMPARE(wb.globals.at(sst + 1).type, quint16(0x003C));
    const biff::SharedStrings strings = biff::sharedStrings(wb.globals, sst);
    QVERIFY2(strings.problem.isEmpty(), qPrintable(strings.problem));
    QCOMPARE(strings.strings, (QStringList{first, second, QStringLiteral("x")}));
}

void WorkbookFileTest::emptyWorkbook()
{
    writeAndCompare(file("empty.xls"), {}, 0);
}

void WorkbookFileTest::formatFollowsName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("xlsx");
    QTest::newRow("xls") << "history.xls" << false;
    QTest::newRow("XLSX, any case") << "history.XLSX" << true;
    QTest::newRow("xlsx inside the name") << "history.xlsx.bak" << false;
}

void WorkbookFileTest::formatFollowsName()
{
    QFETCH(QString, name);
    QFETCH(bool, xlsx);
    const SheetCells cells = historyCells();
    QVERIFY(write(file(name), cells));
    QFile written(file(name));
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    if (xlsx)
        QVERIFY(bytes.startsWith("PK\x03\x04"));
    else
        QCOMPARE(bytes, biff8Workbook(cells));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

void WorkbookFileTest::xlsxContents()
{
    if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        QFAIL("unzip is not installed (scripts/setup.sh installs it)");
    const QString path = file("history.xlsx");
    const SheetCells cells = historyCells();
    QVERIFY(write(path, cells));

    const QString shared = QString::fromUtf8(unzipMember(path, "xl/sharedStrings.xml"));
    const QString sheet = QString::fromUtf8(unzipMember(path, "xl/worksheets/sheet1.xml"));
    const QString styles = QString::fromUtf8(unzipMember(path, "xl/styles.xml"));
    QVERIFY(!shared.isEmpty() && !sheet.isEmpty() && !styles.isEmpty());

    QSet<QString> stored;
    static const QRegularExpression textElement(QStringLiteral("<t(?: [^>]*)?>([^<]*)</t>"));
    for (const auto& m : textElement.globalMatch(shared))
        stored.insert(m.captured(1));
    QSet<QString> expected;
    for (const auto& row : cells) {
        for (const SheetCell& cell : row)
            expected.insert(cell.text);
    }
    expected.remove(QString());
    QCOMPARE(stored, expected);
    QVERIFY(shared.contains(QStringLiteral("<t xml:space=\"preserve\">    线电压  </t>")));

    QCOMPARE(sheet.count(QStringLiteral("<row ")), 100);
    QVERIFY(sheet.contains(QStringLiteral("<row r=\"100\"")));
    static const QRegularExpression cellElement(QStringLiteral("<c r=\"([A-Z]+\\d+)\"([^>]*)>"));
    int cellCount = 0;
    for (const auto& m : cellElement.globalMatch(sheet)) {
        ++cellCount;
        QVERIFY2(m.captured(2).contains(QStringLiteral(" s=\"1\"")), qPrintable(m.captured(1)));
    }
    QCOMPARE(cellCount, 400);
    QVERIFY(sheet.contains(QStringLiteral("<c r=\"B15\" s=\"1\"/>"))); // empty cell: blank

    static const QRegularExpression cellXfs(QStringLiteral("<cellXfs count=\"2\">(.*)</cellXfs>"));
    const auto xfs = cellXfs.match(styles);
    QVERIFY(xfs.hasMatch());
    const QStringList entries = xfs.captured(1).split(QStringLiteral("<xf "), Qt::SkipEmptyParts);
    QCOMPARE(entries.size(), 2);
    QVERIFY(!entries.at(0).contains(QStringLiteral("alignment")));
    QVERIFY(entries.at(1).contains(QStringLiteral("<alignment horizontal=\"center\"/>")));
}

void WorkbookFileTest::libreOfficeReadsXls()
{
    QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (office.isEmpty()) QSKIP("LibreOffice is not installed");

    const QString path = file("history.xls");
    const SheetCells cells = historyCells();
    QVERIFY(write(path, cells));

    QProcess soffice;
    soffice.setProcessChannelMode(QProcess::MergedChannels);
    soffice.start(office, {QStringLiteral("-env:UserInstallation=") +
                               QUrl::fromLocalFile(file("profile")).toString(),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                           QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                           QStringLiteral("--outdir"), dir_->path(), path});
    QVERIFY(soffice.waitForFinished(180000));
    QFile csv(file("history.csv"));
    QVERIFY2(csv.open(QIODevice::ReadOnly), soffice.readAll().constData());
    const QStringList lines =
        QString::fromUtf8(csv.readAll()).split(QStringLiteral("\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 100);
    for (int r = 0; r < 100; ++r) {
        QString line = lines.at(r);
        if (line.endsWith(u'\r')) line.chop(1);
        // No text here holds a comma or a quote; a field may come quoted all the same.
        QStringList fields = line.split(QLatin1Char(','));
        for (QString& field : fields) {
            if (field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"'))
                field = field.mid(1, field.size() - 2);
        }
        while (fields.size() < 4)
            fields << QString();
        QStringList expected;
        for (const SheetCell& cell : cells[size_t(r)])
            expected << cell.text;
        QCOMPARE(fields, expected);
    }
}

QTEST_GUILESS_MAIN(WorkbookFileTest)
#include "test_workbook_file.moc"
