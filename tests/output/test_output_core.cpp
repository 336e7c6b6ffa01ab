// Saved file layouts: GBK text files, workbooks read back by freexl and unzip, atomic replace.

#include "output/atomic_file.h"
#include "output/save_name.h"
#include "output/text_files.h"
#include "output/workbook_file.h"

#include "tests/support/data.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include <QTest>
#if __has_include(<freexl.h>) // not in the Windows build, which compares the bytes only
#include <freexl.h>
#define TESVARON_FREEXL
#endif

using namespace tesvaron;
using tesvaron::test::fetched;

namespace {

QByteArray sp(int n)
{
    return QByteArray(n, ' ');
}
const QByteArray Ground("\xB6\xD4\xB5\xD8\xB5\xE7\xD1\xB9"); // 对地电压
const QByteArray Line("\xCF\xDF\xB5\xE7\xD1\xB9");           // 线电压
const QByteArray Header =
    sp(5) + "NO." + sp(5) + Ground + sp(5) + Line + sp(5) + "\xB5\xE7" + sp(4) + "\xC1\xF7\r\n";

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The history table as the window hands it over, with `records` rows of values.
SheetCells table(int rows, int records)
{
    SheetCells cells(std::size_t(rows), std::vector<SheetCell>(4));
    const QStringList titles{"NO.", "对地电压", "    线电压  ", "   电      流"};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 4; ++c)
            cells[std::size_t(r)][std::size_t(c)] = {
                r == 0         ? titles[c]
                : c == 0       ? QString::number(r)
                : r <= records ? QStringLiteral("%1.%2%3").arg(r).arg(c).arg(c == 3 ? "A" : "kV")
                               : QString(),
                true};
    return cells;
}

} // namespace

class TestOutputCore : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> folder; // a fresh one for every test
    const QTemporaryDir& dir() const { return *folder; }

private slots:
    void init() { folder = std::make_unique<QTemporaryDir>(); }

    // What a typed name becomes and which writer it gets, for both saves' types.
    void saveNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        for (const QStringList& r : test::tableRows("save-names"))
            QTest::addRow("%s @%s", qPrintable(r[0]), qPrintable(r[1]))
                << r[0] << r[1].toInt() << r[2] << r[3].toInt();
    }
    void saveNames()
    {
        QFETCH(QString, typed);
        QFETCH(int, selected);
        const SaveName got =
            selected < 0 ? resolveSaveName(typed, SaveTypes{{"jpg", "jpeg"}, {"txt"}}, -selected)
                         : resolveSaveName(typed, SaveTypes{{"txt"}, {"xls"}, {"xlsx"}}, selected);
        QTEST(got.fileName, "name");
        QTEST(got.type, "type");
    }

    void realtimeText()
    {
        QCOMPARE(realtimeTextFile("12.5kV", "35kV", "1.234A"),
                 "    " + Ground + "    12.5kV\r\n" + sp(9) + Line + "    35kV\r\n" + sp(9) +
                     "\xB5\xE7" + sp(5) + "\xC1\xF7" + "    1.234A\r\n");
    }

    void historyText_data()
    {
        QTest::addColumn<QStringList>("row1");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty") << QStringList{"1", "", "", ""} << sp(9) + "1" + sp(31);
        QTest::newRow("values") << QStringList{"1", "3.5kV", "10kV", "3.23A"}
                                << sp(9) + "1" + sp(7) + "3.5kV" + sp(7) + "10kV" + sp(8) + "3.23A";
        QTest::newRow("spans filled")
            << QStringList{"12345678", "1234567.89kV", "abcdefghijkl", "1.23A"}
            << QByteArray(sp(9) + "12345678" + "1234567.89kV" + "abcdefghijkl" + "1.23A");
        QTest::newRow("overlong pushes down")
            << QStringList{"1", "12345678.90kV", "10kV", "1.0A"}
            << sp(9) + "1" + sp(7) + "12345678.90kV\r\n" + sp(29) + "10kV" + sp(8) + "1.0A";
        QTest::newRow("chinese by characters") << QStringList{"1", "对地", "", ""}
                                               << sp(9) + "1" + sp(7) + "\xB6\xD4\xB5\xD8" + sp(22);
    }
    void historyText()
    {
        QFETCH(QStringList, row1);
        const QByteArray file = historyTextFile([&](int row, int col) {
            return row == 1 ? row1.at(col) : col == 0 ? QString::number(row) : QString();
        });
        QByteArray expected = Header + fetched<QByteArray>("expected");
        for (int r = 2; r <= 99; ++r)
            expected += "\r\n" + (sp(9) + QByteArray::number(r)).leftJustified(41, ' ');
        QCOMPARE(file, expected);
    }

    // freexl reads every cell back; 2000 rows force the shared strings into CONTINUE records,
    // 65,536 rows (the format's last) a compound file whose FAT needs DIFAT sectors.
    void xlsReadBack_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("history table") << 100;
        QTest::newRow("2000 rows") << 2000;
        QTest::newRow("past the last row, over 109 FAT sectors") << 70000;
    }
    void xlsReadBack()
    {
        const int rows = fetched<int>("rows");
        SheetCells cells = table(rows, rows == 100 ? 25 : rows);
        for (std::vector<SheetCell>& row : cells) // the big one needs longer texts
            row[1].text += QString(rows > 65536 ? 60 : 0, QChar(0x7535));
        const QString path = dir().filePath("t.xls");
        QString error;
        QVERIFY2(writeWorkbookFile(path, cells, &error), qPrintable(error));
        QVERIFY(rows < 65536 || QFileInfo(path).size() > 109 * 128 * 512);
#ifdef TESVARON_FREEXL
        const void* h = nullptr;
        QCOMPARE(freexl_open(QFile::encodeName(path).constData(), &h), FREEXL_OK);
        QCOMPARE(freexl_select_active_worksheet(h, 0), FREEXL_OK);
        unsigned n = 0;
        unsigned short cols = 0;
        QCOMPARE(freexl_worksheet_dimensions(h, &n, &cols), FREEXL_OK);
        QCOMPARE(std::pair(int(n), int(cols)), std::pair(std::min(rows, 65536), 4));
        for (unsigned r = 0; r < n; ++r)
            for (unsigned short c = 0; c < 4; ++c) {
                FreeXL_CellValue v;
                QCOMPARE(freexl_get_cell_value(h, r, c, &v), FREEXL_OK);
                QCOMPARE(v.type == FREEXL_CELL_SST_TEXT ? QString::fromUtf8(v.value.text_value)
                                                        : QString(),
                         cells[r][c].text);
            }
        freexl_close(h);
#endif
        // The history table's file, byte for byte: what freexl does not look at (formats, the
        // window record, the compound-file directory and DIFAT) must not change unnoticed; the
        // big one's by its digest, taken once its DIFAT chain and FAT marks had been checked.
        const QByteArray bytes = readAll(path);
        if (rows == 100)
            QCOMPARE(bytes, readAll(qEnvironmentVariable("TESVARON_TEST_DATA") +
                                    "/golden/history-25.xls"));
        if (rows > 65536)
            QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
                     "1d42767220f3d843b3bc1f94bf1fdfbb2222790aa97789721023179cf814d275");
    }

    void xlsxCells()
    {
        const QString path = dir().filePath("t.xlsx");
        QString error;
        QVERIFY2(writeWorkbookFile(path, table(100, 3), &error), qPrintable(error));
        QProcess unzip;
        unzip.start("unzip", {"-p", path, "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                              "xl/styles.xml"});
        if (!unzip.waitForStarted()) QSKIP("no unzip here (Windows)");
        QVERIFY(unzip.waitForFinished());
        QVERIFY(test::readsAsGolden(QString(unzip.readAllStandardOutput()).split('\n'), "xlsx-3"));
    }

    // A write that fails leaves the old file as it was and no temporary file beside it.
    void atomicReplace()
    {
        const QString path = dir().filePath("keep.txt");
        QVERIFY(writeFileAtomically(path, "old", nullptr));
        QVERIFY(writeFileAtomically(path, "new", nullptr));
        QCOMPARE(readAll(path), "new");
        // Places no one can write to, root included: under a regular file, over a folder.
        QDir(dir().path()).mkpath("taken/inside");
        for (const char* name : {"keep.txt/x.txt", "taken", "missing/x.txt"}) {
            QString error;
            QVERIFY2(!writeFileAtomically(dir().filePath(name), "new", &error), name);
            QVERIFY2(!error.isEmpty(), name);
        }
        QCOMPARE(readAll(path), "new");
        QCOMPARE(QDir(dir().path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.txt"});
        QCOMPARE(QDir(dir().filePath("taken")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"inside"});
        // A link planted under the name is replaced, and what it pointed at is left alone.
        const QString sentinel = dir().filePath("taken/inside/sentinel");
        const QString link = dir().filePath("link.txt");
        QVERIFY(writeFileAtomically(sentinel, "kept", nullptr) && QFile::link(sentinel, link));
        QVERIFY(writeFileAtomically(link, "new", nullptr));
        QVERIFY(readAll(sentinel) == "kept" && readAll(link) == "new" &&
                !QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestOutputCore)
#include "test_output_core.moc"
