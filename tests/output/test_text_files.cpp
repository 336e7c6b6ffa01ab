// Golden-byte tests of the realtime and history text files.

#include "output/text_files.h"

#include <QTest>

using tesvaron::historyTextFile;
using tesvaron::realtimeTextFile;

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

// Rows `from`..99 as an otherwise empty table writes them: each after the line break that the
// row's first advance produces, 9 spaces, the number, spaces up to 41 characters.
QByteArray emptyRowsFrom(int from)
{
    QByteArray out;
    for (int r = from; r <= 99; ++r)
        out += "\r\n" + (spaces(9) + QByteArray::number(r)).leftJustified(41, ' ');
    return out;
}

} // namespace

class TextFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void realtimeFile_data();
    void realtimeFile();
    void historyFullTable();
    void historyRowLayout_data();
    void historyRowLayout();
};

void TextFilesTest::realtimeFile_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray title1 = "    " + kGroundGbk + "    ";
    const QByteArray title2 = "         " + kLineGbk + "    ";
    const QByteArray title3 = "         " + kDian + "     " + kLiu + "    ";
    // Line 1 is 17 characters, 21 bytes, before any measurement.
    QTest::newRow("before any measurement")
        << QStringList{"0.0kV", "0.0kV", "0.0A"}
        << QByteArray(title1 + "0.0kV\r\n" + title2 + "0.0kV\r\n" + title3 + "0.0A\r\n");
    QTest::newRow("measured") << QStringList{"12.5kV", "35kV", "1.234A"}
                              << QByteArray(title1 + "12.5kV\r\n" + title2 + "35kV\r\n" + title3 +
                                            "1.234A\r\n");
}

void TextFilesTest::realtimeFile()
{
    QFETCH(QStringList, captions);
    QFETCH(QByteArray, expected);
    QCOMPARE(realtimeTextFile(captions[0], captions[1], captions[2]), expected);
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
    // The file ends with row 99's last cell, no CR LF.
    QVERIFY(file.endsWith("\r\n" + spaces(9) + "99" + spaces(6) + "9.5kV" + spaces(7) + "10kV" +
                          spaces(8) + "99.23A"));
}

void TextFilesTest::historyRowLayout_data()
{
    QTest::addColumn<QStringList>("row1");
    QTest::addColumn<QByteArray>("expected");

    // 4302 bytes: 47 header bytes (36 characters), 99 rows of 41, 98 line breaks between them.
    QTest::newRow("empty table") << QStringList{"1", "", "", ""} << spaces(9) + "1" + spaces(31);
    QTest::newRow("cells filling their spans exactly")
        << QStringList{"12345678", "1234567.89kV", "abcdefghijkl", "1.23A"}
        << QByteArray(spaces(9) + "12345678" + "1234567.89kV" + "abcdefghijkl" + "1.23A");
    QTest::newRow("overlong voltage pushes the next cell down")
        << QStringList{"1", "12345678.90kV", "10kV", "1.0A"}
        << QByteArray(spaces(9) + "1" + spaces(7) + "12345678.90kV" + "\r\n" + spaces(29) + "10kV" +
                      spaces(8) + "1.0A");
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
    // Row 99, empty, ends the file: no CR LF after it.
    QCOMPARE(file.mid(file.lastIndexOf("\r\n")), "\r\n" + spaces(9) + "99" + spaces(30));
    if (QTest::currentDataTag() == QLatin1String("empty table")) QCOMPARE(file.size(), 4302);
}

QTEST_GUILESS_MAIN(TextFilesTest)
#include "test_text_files.moc"
