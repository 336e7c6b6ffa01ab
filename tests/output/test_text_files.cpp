// Golden-byte tests of the realtime and history text files.

#include "output/text_files.h"

#include <QSet>
#include <QTest>

using tesvaron::historyTextFile;
using tesvaron::realtimeTextFile;
using tesvaron::toGbk;

namespace {

QByteArray spaces(int n)
{
    return QByteArray(n, ' ');
}

// GBK bytes written out by hand.
const QByteArray kGroundGbk("\xB6\xD4\xB5\xD8\xB5\xE7\xD1\xB9"); // 对地电压
const QByteArray kLineGbk("\xCF\xDF\xB5\xE7\xD1\xB9");           // 线电压
const QByteArray kDian("\xB5\xE7");                              // 电
const QByteArray kLiu("\xC1\xF7");                               // 流

const QByteArray kHistoryHeader = spaces(5) + "NO." + spaces(5) + kGroundGbk + spaces(5) +
                                  kLineGbk + spaces(5) + kDian + spaces(4) + kLiu + "\r\n";

// A row without a record: 9 spaces, the number, spaces up to 41 characters.
QByteArray emptyRow(int row)
{
    return (spaces(9) + QByteArray::number(row)).leftJustified(41, ' ');
}

// Rows `from`..99 as an otherwise empty table writes them, each after the line break that the
// row's first advance produces.
QByteArray emptyRowsFrom(int from)
{
    QByteArray out;
    for (int r = from; r <= 99; ++r)
        out += "\r\n" + emptyRow(r);
    return out;
}

} // namespace

class TextFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void gbk_data();
    void gbk();
    void realtimeFile_data();
    void realtimeFile();
    void realtimeFirstLineLength();
    void historyHeader();
    void historyEmptyTable();
    void historyFullTable();
    void historyRowLayout_data();
    void historyRowLayout();
    void historyEndsWithLastCell();
    void historyReadsFixedRange();
};

void TextFilesTest::gbk_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ground title") << QStringLiteral("对地电压")
                                  << QByteArray("\xB6\xD4\xB5\xD8\xB5\xE7\xD1\xB9");
    QTest::newRow("line title") << QStringLiteral("线电压")
                                << QByteArray("\xCF\xDF\xB5\xE7\xD1\xB9");
    QTest::newRow("current title")
        << QStringLiteral("电    流") << QByteArray("\xB5\xE7\x20\x20\x20\x20\xC1\xF7");
    QTest::newRow("ascii") << QStringLiteral("12.5kV") << QByteArray("12.5kV");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TextFilesTest::gbk()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toGbk(text), bytes);
}

void TextFilesTest::realtimeFile_data()
{
    QTest::addColumn<QString>("ground");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray title1 = "    " + kGroundGbk + "    ";
    const QByteArray title2 = "         " + kLineGbk + "    ";
    const QByteArray title3 = "         " + kDian + "     " + kLiu + "    ";
    QTest::newRow("before any measurement")
        << "0.0kV"
        << "0.0kV"
        << "0.0A" << QByteArray(title1 + "0.0kV\r\n" + title2 + "0.0kV\r\n" + title3 + "0.0A\r\n");
    QTest::newRow("measured") << "12.5kV"
                              << "35kV"
                              << "1.234A"
                              << QByteArray(title1 + "12.5kV\r\n" + title2 + "35kV\r\n" + title3 +
                                            "1.234A\r\n");
    QTest::newRow("no signal") << "NO--"
                               << "NO--"
                               << "NO--"
                               << QByteArray(title1 + "NO--\r\n" + title2 + "NO--\r\n" + title3 +
                                             "NO--\r\n");
    QTest::newRow("empty captions")
        << ""
        << ""
        << "" << QByteArray(title1 + "\r\n" + title2 + "\r\n" + title3 + "\r\n");
}

void TextFilesTest::realtimeFile()
{
    QFETCH(QString, ground);
    QFETCH(QString, line);
    QFETCH(QString, current);
    QFETCH(QByteArray, expected);
    QCOMPARE(realtimeTextFile(ground, line, current), expected);
}

void TextFilesTest::realtimeFirstLineLength()
{
    // 17 characters before any measurement, 21 bytes in GBK.
    const QByteArray file = realtimeTextFile("0.0kV", "0.0kV", "0.0A");
    QCOMPARE(file.indexOf("\r\n"), 21);
    QCOMPARE(file.count("\r\n"), 3);
    QVERIFY(file.endsWith("0.0A\r\n"));
}

void TextFilesTest::historyHeader()
{
    const QByteArray file = historyTextFile(
        [](int row, int column) { return column == 0 ? QString::number(row) : QString(); });
    QCOMPARE(kHistoryHeader.size(), 47); // 45 GBK bytes for 36 characters, then CR LF
    QCOMPARE(file.left(47), kHistoryHeader);
}

void TextFilesTest::historyEmptyTable()
{
    const QByteArray file = historyTextFile(
        [](int row, int column) { return column == 0 ? QString::number(row) : QString(); });
    // 47 header bytes, 99 rows of 41, 98 line breaks between the rows.
    QCOMPARE(file.size(), 4302);
    QCOMPARE(file.count("\r\n"), 99);
    QVERIFY(!file.endsWith("\r\n"));

    const QList<QByteArray> lines = file.split('\n');
    QCOMPARE(lines.size(), 100);
    QCOMPARE(lines.at(5), spaces(9) + "5" + spaces(31) + "\r");
    QCOMPARE(lines.at(1), spaces(9) + "1" + spaces(31) + "\r");
    QCOMPARE(lines.at(99), spaces(9) + "99" + spaces(30)); // last row: no CR LF
    QCOMPARE(file, kHistoryHeader + emptyRow(1) + emptyRowsFrom(2));
}

void TextFilesTest::historyFullTable()
{
    const auto cellText = [](int row, int column) -> QString {
        switch (column) {
        case 0:
            return QString::number(row);
        case 1:
            return row % 2 ? QStringLiteral("%1.5kV").arg(row % 10) : QStringLiteral("110kV");
        case 2:
            return row % 2 ? QStringLiteral("10kV") : QStringLiteral("220kV");
        default:
            return QStringLiteral("%1.23A").arg(row);
        }
    };
    const QByteArray file = historyTextFile(cellText);

    QByteArray expected = kHistoryHeader;
    for (int r = 1; r <= 99; ++r) {
        if (r > 1) expected += "\r\n";
        // Spans: 8 characters for the number, 12 for each voltage.
        expected += spaces(9) + cellText(r, 0).toLatin1().leftJustified(8, ' ') +
                    cellText(r, 1).toLatin1().leftJustified(12, ' ') +
                    cellText(r, 2).toLatin1().leftJustified(12, ' ') + cellText(r, 3).toLatin1();
    }
    QCOMPARE(file, expected);
    QCOMPARE(file.split('\n').at(3),
             spaces(9) + "3" + spaces(7) + "3.5kV" + spaces(7) + "10kV" + spaces(8) + "3.23A\r");
    QVERIFY(file.endsWith(spaces(8) + "99.23A"));
}

void TextFilesTest::historyRowLayout_data()
{
    QTest::addColumn<QStringList>("row1");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("cells filling their spans exactly")
        << QStringList{"12345678", "1234567.89kV", "abcdefghijkl", "1.23A"}
        << QByteArray(spaces(9) + "12345678" + "1234567.89kV" + "abcdefghijkl" + "1.23A");
    QTest::newRow("12-character voltage, next cell directly after")
        << QStringList{"1", "123456.789kV", "10kV", "0.5A"}
        << QByteArray(spaces(9) + "1" + spaces(7) + "123456.789kV" + "10kV" + spaces(8) + "0.5A");
    QTest::newRow("overlong voltage pushes the next cell down")
        << QStringList{"1", "12345678.90kV", "10kV", "1.0A"}
        << QByteArray(spaces(9) + "1" + spaces(7) + "12345678.90kV" + "\r\n" + spaces(29) + "10kV" +
                      spaces(8) + "1.0A");
    QTest::newRow("overlong number, empty cells after")
        << QStringList{"123456789", "5.0kV", "", ""}
        << QByteArray(spaces(9) + "123456789" + "\r\n" + spaces(17) + "5.0kV" + spaces(7) +
                      spaces(12));
    QTest::newRow("cell reaching over two start columns")
        << QStringList{"1", "abcdefghijklmnopqrstuvwx", "10kV", "2A"}
        << QByteArray(spaces(9) + "1" + spaces(7) + "abcdefghijklmnopqrstuvwx" + "\r\n" +
                      spaces(29) + "10kV" + spaces(8) + "2A");
    QTest::newRow("overlong last cell")
        << QStringList{"1", "", "", QString(20, QLatin1Char('A'))}
        << QByteArray(spaces(9) + "1" + spaces(7) + spaces(12) + spaces(12) + QByteArray(20, 'A'));
    // Columns are counted in characters: two Chinese characters are four GBK bytes but take two
    // columns, so ten spaces follow them.
    QTest::newRow("chinese counted as characters")
        << QStringList{"1", QStringLiteral("对地"), "", ""}
        << QByteArray(spaces(9) + "1" + spaces(7) + "\xB6\xD4\xB5\xD8" + spaces(10) + spaces(12));
}

void TextFilesTest::historyRowLayout()
{
    QFETCH(QStringList, row1);
    QFETCH(QByteArray, expected);
    const QByteArray file = historyTextFile([&](int row, int column) {
        if (row == 1) return row1.at(column);
        return column == 0 ? QString::number(row) : QString();
    });
    QCOMPARE(file, kHistoryHeader + expected + emptyRowsFrom(2));
}

void TextFilesTest::historyEndsWithLastCell()
{
    const QByteArray file = historyTextFile([](int row, int column) {
        if (column == 0) return QString::number(row);
        return row == 99 ? QStringLiteral("9.99") : QString();
    });
    QVERIFY(file.endsWith("\r\n" + spaces(9) + "99" + spaces(6) + "9.99" + spaces(8) + "9.99" +
                          spaces(8) + "9.99"));
}

void TextFilesTest::historyReadsFixedRange()
{
    QSet<QPair<int, int>> asked;
    int calls = 0;
    historyTextFile([&](int row, int column) {
        asked.insert({row, column});
        ++calls;
        return QString();
    });
    QCOMPARE(calls, 99 * 4);
    for (int r = 1; r <= 99; ++r) {
        for (int c = 0; c < 4; ++c)
            QVERIFY(asked.contains({r, c}));
    }
}

QTEST_GUILESS_MAIN(TextFilesTest)
#include "test_text_files.moc"
