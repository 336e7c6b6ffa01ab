// Measurement texts: number formats, line-voltage classes, realtime and history rows.
#include "replies/measure_format.h"

#include <QTest>
#include <cmath>

using namespace tesvaron;

namespace {

float below(float bound)
{
    return std::nextafter(bound, 0.0f);
}

} // namespace

// Checks every text against values worked out by hand from the display rules.
class TestMeasureFormat : public QObject
{
    Q_OBJECT

private slots:
    void fixed_data();
    void fixed();
    void voltage_data();
    void voltage();
    void lineClass_data();
    void lineClass();
    void current_data();
    void current();
    void texts_data();
    void texts();
};

void TestMeasureFormat::fixed_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("12.5 up") << 12.5f << 0 << "13";
    QTest::newRow("12.4 down") << 12.4f << 0 << "12";
    QTest::newRow("2.5 not to even") << 2.5f << 0 << "3";
    QTest::newRow("0 one decimal") << 0.0f << 1 << "0.0";
    QTest::newRow("0.45 by its digits") << 0.45f << 1 << "0.5";
    QTest::newRow("9.95 carries") << 9.95f << 1 << "10.0";
    QTest::newRow("0.05") << 0.05f << 2 << "0.05";
    QTest::newRow("1.005 by its digits") << 1.005f << 2 << "1.01";
    QTest::newRow("0.005") << 0.005f << 2 << "0.01";
    QTest::newRow("0.0049") << 0.0049f << 2 << "0.00";
    QTest::newRow("7 padded") << 7.0f << 2 << "7.00";
    QTest::newRow("-2.5") << -2.5f << 0 << "-3";
    QTest::newRow("-0.04 has no sign") << -0.04f << 1 << "0.0";
}

void TestMeasureFormat::fixed()
{
    QFETCH(float, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(formatFixed(value, decimals), text);
}

void TestMeasureFormat::voltage_data()
{
    QTest::addColumn<float>("kv");
    QTest::addColumn<QString>("text");

    QTest::newRow("9.94") << 9.94f << "9.9";
    QTest::newRow("9.96 keeps its decimal") << 9.96f << "10.0";
    QTest::newRow("just below 10") << below(10.0f) << "10.0";
    QTest::newRow("12.5") << 12.5f << "13";
}

void TestMeasureFormat::voltage()
{
    QFETCH(float, kv);
    QFETCH(QString, text);
    QCOMPARE(voltageNumber(kv), text);
}

void TestMeasureFormat::lineClass_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("cls");

    QTest::newRow("tiny negative unchanged") << -1e-30f << -1e-30f;
    QTest::newRow("0 unchanged") << 0.0f << 0.0f;
    QTest::newRow("tiny positive") << 1e-30f << 0.3f;
    // Each class bound, with the float just below it.
    const float bounds[] = {3.5f, 8.0f, 27.0f, 55.0f, 98.0f, 185.0f};
    const float classes[] = {0.3f, 6.6f, 10.0f, 35.0f, 66.0f, 110.0f, 220.0f};
    for (int i = 0; i < 6; ++i) {
        QTest::addRow("below %g", double(bounds[i])) << below(bounds[i]) << classes[i];
        QTest::addRow("%g", double(bounds[i])) << bounds[i] << classes[i + 1];
    }
}

void TestMeasureFormat::lineClass()
{
    QFETCH(float, x);
    QFETCH(float, cls);
    // Nine significant digits tell any two floats apart.
    QCOMPARE(QString::number(lineVoltageClass(x), 'g', 9), QString::number(cls, 'g', 9));
}

void TestMeasureFormat::current_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    // The texts rows below cover the common cases.
    QTest::newRow("0 hundredths") << 0 << 2 << "0.00";
    QTest::newRow("1 hundredth") << 1 << 2 << "0.01";
    QTest::newRow("1005 hundredths") << 1005 << 2 << "10.05";
    QTest::newRow("65535 tenths") << 65535 << 1 << "6553.5";
    QTest::newRow("65535 code 3 whole") << 65535 << 3 << "65535";
}

void TestMeasureFormat::current()
{
    QFETCH(int, raw);
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(currentNumber(static_cast<std::uint16_t>(raw), static_cast<std::uint8_t>(code)), text);
}

void TestMeasureFormat::texts_data()
{
    QTest::addColumn<bool>("history");
    QTest::addColumn<int>("volt");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("expected"); // ground, line, current

    const auto row = [](const char* name, bool history, int volt, int current, int code,
                        const char* ground, const char* line, const char* amps) {
        QTest::newRow(name) << history << volt << current << code
                            << QStringList{ground, line, amps};
    };
    // Realtime line voltage is g * 1.73 * 1.732, about g * 2.99636; rows at each class bound.
    row("rt 0", false, 0, 7, 0, "0.0kV", "0.0kV", "7A");
    row("rt 11: 3.296", false, 11, 123, 1, "1.1kV", "0.3kV", "12.3A");
    row("rt 12: 3.596", false, 12, 123, 2, "1.2kV", "6.6kV", "1.23A");
    row("rt 26: 7.79", false, 26, 123, 0, "2.6kV", "6.6kV", "123A");
    row("rt 27: 8.09", false, 27, 123, 7, "2.7kV", "10kV", "123A");
    row("rt 90: 26.97", false, 90, 0, 0, "9.0kV", "10kV", "0A");
    row("rt 91: 27.27", false, 91, 0, 0, "9.1kV", "35kV", "0A");
    row("rt 99: 29.66", false, 99, 0, 0, "9.9kV", "35kV", "0A");
    row("rt 100: 29.96", false, 100, 0, 0, "10kV", "35kV", "0A");
    row("rt 183: 54.83", false, 183, 0, 0, "18kV", "35kV", "0A");
    row("rt 184: 55.13", false, 184, 0, 0, "18kV", "66kV", "0A");
    row("rt 327: 97.98", false, 327, 0, 0, "33kV", "66kV", "0A");
    row("rt 328: 98.28", false, 328, 0, 0, "33kV", "110kV", "0A");
    row("rt 617: 184.88", false, 617, 0, 0, "62kV", "110kV", "0A");
    row("rt 618: 185.17", false, 618, 0, 0, "62kV", "220kV", "0A");
    row("rt 995: 99.5 up", false, 995, 0, 0, "100kV", "220kV", "0A");
    row("rt 5999", false, 5999, 255, 1, "600kV", "220kV", "25.5A");
    row("rt 6000 over range", false, 6000, 123, 1, "NO--", "NO--", "NO--");

    // History line voltage is g * 1.732 * 1.732, about g * 2.999824, with the same class bounds;
    // rows where the two factors part, and no over-range rule.
    row("hist 0", true, 0, 0, 1, "0.0kV", "0.0kV", "0.0A");
    row("hist 11: 3.300", true, 11, 5, 2, "1.1kV", "0.3kV", "0.05A");
    row("hist 327: 98.09", true, 327, 250, 1, "33kV", "110kV", "25.0A");
    row("hist 617: 185.09", true, 617, 0, 0, "62kV", "220kV", "0A");
    row("hist 6000 in range", true, 6000, 0, 0, "600kV", "220kV", "0A");
    row("hist 65535 both 16-bit", true, 65535, 65535, 2, "6554kV", "220kV", "655.35A");
    row("hist current above a byte", true, 100, 1234, 1, "10kV", "35kV", "123.4A");
}

void TestMeasureFormat::texts()
{
    QFETCH(bool, history);
    QFETCH(int, volt);
    QFETCH(int, current);
    QFETCH(int, code);
    QFETCH(QStringList, expected);

    const auto v = static_cast<std::uint16_t>(volt);
    const auto a = static_cast<std::uint16_t>(current);
    const auto c = static_cast<std::uint8_t>(code);
    const MeasureTexts t = history ? historyTexts(v, a, c) : realtimeTexts(v, a, c);
    QCOMPARE((QStringList{t.ground, t.line, t.current}), expected);
}

QTEST_GUILESS_MAIN(TestMeasureFormat)
#include "test_measure_format.moc"
