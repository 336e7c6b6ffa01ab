// Measurement texts: number formats, line-voltage classes, realtime and history rows.
#include "replies/measure_format.h"

#include <QTest>
#include <cmath>

using namespace tesvaron;

namespace {

// Nine significant digits tell any two floats apart and read well in a failure message.
QString exact(float v)
{
    return QString::number(v, 'g', 9);
}

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
    void realtime_data();
    void realtime();
    void history_data();
    void history();
};

void TestMeasureFormat::fixed_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("12.5 up") << 12.5f << 0 << "13";
    QTest::newRow("12.4 down") << 12.4f << 0 << "12";
    QTest::newRow("220") << 220.0f << 0 << "220";
    QTest::newRow("0.5 away from zero") << 0.5f << 0 << "1";
    QTest::newRow("2.5 not to even") << 2.5f << 0 << "3";
    QTest::newRow("6553.5") << 6553.5f << 0 << "6554";
    QTest::newRow("large") << 1e10f << 0 << "10000000000";
    QTest::newRow("0 one decimal") << 0.0f << 1 << "0.0";
    QTest::newRow("0.3") << 0.3f << 1 << "0.3";
    QTest::newRow("9.9") << 9.9f << 1 << "9.9";
    QTest::newRow("0.45 by its digits") << 0.45f << 1 << "0.5";
    QTest::newRow("9.95 carries") << 9.95f << 1 << "10.0";
    QTest::newRow("99.95 carries") << 99.95f << 1 << "100.0";
    QTest::newRow("1.23") << 1.23f << 2 << "1.23";
    QTest::newRow("0.05") << 0.05f << 2 << "0.05";
    QTest::newRow("1.005 by its digits") << 1.005f << 2 << "1.01";
    QTest::newRow("0.005") << 0.005f << 2 << "0.01";
    QTest::newRow("0.0049") << 0.0049f << 2 << "0.00";
    QTest::newRow("0.001") << 0.001f << 2 << "0.00";
    QTest::newRow("7 padded") << 7.0f << 2 << "7.00";
    QTest::newRow("655.35") << 655.35f << 2 << "655.35";
    QTest::newRow("-2.5") << -2.5f << 0 << "-3";
    QTest::newRow("-0.05") << -0.05f << 1 << "-0.1";
    QTest::newRow("-0.04 has no sign") << -0.04f << 1 << "0.0";
    QTest::newRow("-0") << -0.0f << 1 << "0.0";
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

    QTest::newRow("0") << 0.0f << "0.0";
    QTest::newRow("0.3") << 0.3f << "0.3";
    QTest::newRow("6.6") << 6.6f << "6.6";
    QTest::newRow("9.9") << 9.9f << "9.9";
    QTest::newRow("9.94") << 9.94f << "9.9";
    QTest::newRow("9.96 keeps its decimal") << 9.96f << "10.0";
    QTest::newRow("just below 10") << below(10.0f) << "10.0";
    QTest::newRow("10") << 10.0f << "10";
    QTest::newRow("12.5") << 12.5f << "13";
    QTest::newRow("599.9") << 599.9f << "600";
    QTest::newRow("220") << 220.0f << "220";
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

    QTest::newRow("negative unchanged") << -1.0f << -1.0f;
    QTest::newRow("tiny negative unchanged") << -1e-30f << -1e-30f;
    QTest::newRow("0 unchanged") << 0.0f << 0.0f;
    QTest::newRow("tiny positive") << 1e-30f << 0.3f;
    QTest::newRow("below 3.5") << below(3.5f) << 0.3f;
    QTest::newRow("3.5") << 3.5f << 6.6f;
    QTest::newRow("below 8") << below(8.0f) << 6.6f;
    QTest::newRow("8") << 8.0f << 10.0f;
    QTest::newRow("below 27") << below(27.0f) << 10.0f;
    QTest::newRow("27") << 27.0f << 35.0f;
    QTest::newRow("below 55") << below(55.0f) << 35.0f;
    QTest::newRow("55") << 55.0f << 66.0f;
    QTest::newRow("below 98") << below(98.0f) << 66.0f;
    QTest::newRow("98") << 98.0f << 110.0f;
    QTest::newRow("below 185") << below(185.0f) << 110.0f;
    QTest::newRow("185") << 185.0f << 220.0f;
    QTest::newRow("huge") << 1e6f << 220.0f;
}

void TestMeasureFormat::lineClass()
{
    QFETCH(float, x);
    QFETCH(float, cls);
    QCOMPARE(exact(lineVoltageClass(x)), exact(cls));
}

void TestMeasureFormat::current_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("123 tenths") << 123 << 1 << "12.3";
    QTest::newRow("123 hundredths") << 123 << 2 << "1.23";
    QTest::newRow("123 code 0") << 123 << 0 << "123";
    QTest::newRow("123 code 7") << 123 << 7 << "123";
    QTest::newRow("123 code 255") << 123 << 255 << "123";
    QTest::newRow("250 tenths") << 250 << 1 << "25.0";
    QTest::newRow("0 tenths") << 0 << 1 << "0.0";
    QTest::newRow("0 hundredths") << 0 << 2 << "0.00";
    QTest::newRow("0 whole") << 0 << 0 << "0";
    QTest::newRow("1 hundredth") << 1 << 2 << "0.01";
    QTest::newRow("5 hundredths") << 5 << 2 << "0.05";
    QTest::newRow("10 hundredths") << 10 << 2 << "0.10";
    QTest::newRow("1005 hundredths") << 1005 << 2 << "10.05";
    QTest::newRow("65535 tenths") << 65535 << 1 << "6553.5";
    QTest::newRow("65535 hundredths") << 65535 << 2 << "655.35";
    QTest::newRow("65535 whole") << 65535 << 3 << "65535";
}

void TestMeasureFormat::current()
{
    QFETCH(int, raw);
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(currentNumber(static_cast<std::uint16_t>(raw), static_cast<std::uint8_t>(code)), text);
}

void TestMeasureFormat::realtime_data()
{
    QTest::addColumn<int>("volt");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("ground");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("amps");

    // Line voltage here is g * 1.73 * 1.732, about g * 2.99636.
    QTest::newRow("0") << 0 << 7 << 0 << "0.0kV"
                       << "0.0kV"
                       << "7A";
    QTest::newRow("1: 0.30") << 1 << 0 << 1 << "0.1kV"
                             << "0.3kV"
                             << "0.0A";
    QTest::newRow("11: 3.296") << 11 << 123 << 1 << "1.1kV"
                               << "0.3kV"
                               << "12.3A";
    QTest::newRow("12: 3.596") << 12 << 123 << 2 << "1.2kV"
                               << "6.6kV"
                               << "1.23A";
    QTest::newRow("26: 7.79") << 26 << 123 << 0 << "2.6kV"
                              << "6.6kV"
                              << "123A";
    QTest::newRow("27: 8.09") << 27 << 123 << 7 << "2.7kV"
                              << "10kV"
                              << "123A";
    QTest::newRow("90: 26.97") << 90 << 0 << 0 << "9.0kV"
                               << "10kV"
                               << "0A";
    QTest::newRow("91: 27.27") << 91 << 0 << 0 << "9.1kV"
                               << "35kV"
                               << "0A";
    QTest::newRow("99: 29.66") << 99 << 0 << 0 << "9.9kV"
                               << "35kV"
                               << "0A";
    QTest::newRow("100: 29.96") << 100 << 0 << 0 << "10kV"
                                << "35kV"
                                << "0A";
    QTest::newRow("125: 37.45") << 125 << 0 << 0 << "13kV"
                                << "35kV"
                                << "0A";
    QTest::newRow("183: 54.83") << 183 << 0 << 0 << "18kV"
                                << "35kV"
                                << "0A";
    QTest::newRow("184: 55.13") << 184 << 0 << 0 << "18kV"
                                << "66kV"
                                << "0A";
    QTest::newRow("327: 97.98") << 327 << 0 << 0 << "33kV"
                                << "66kV"
                                << "0A";
    QTest::newRow("328: 98.28") << 328 << 0 << 0 << "33kV"
                                << "110kV"
                                << "0A";
    QTest::newRow("617: 184.88") << 617 << 0 << 0 << "62kV"
                                 << "110kV"
                                 << "0A";
    QTest::newRow("618: 185.17") << 618 << 0 << 0 << "62kV"
                                 << "220kV"
                                 << "0A";
    QTest::newRow("995: 99.5 rounds up") << 995 << 0 << 0 << "100kV"
                                         << "220kV"
                                         << "0A";
    QTest::newRow("5999") << 5999 << 255 << 1 << "600kV"
                          << "220kV"
                          << "25.5A";
    QTest::newRow("6000 over range") << 6000 << 123 << 1 << "NO--"
                                     << "NO--"
                                     << "NO--";
    QTest::newRow("65535 over range") << 65535 << 0 << 0 << "NO--"
                                      << "NO--"
                                      << "NO--";
}

void TestMeasureFormat::realtime()
{
    QFETCH(int, volt);
    QFETCH(int, current);
    QFETCH(int, code);
    QFETCH(QString, ground);
    QFETCH(QString, line);
    QFETCH(QString, amps);

    const MeasureTexts texts =
        realtimeTexts(static_cast<std::uint16_t>(volt), static_cast<std::uint16_t>(current),
                      static_cast<std::uint8_t>(code));
    QCOMPARE(texts.ground, ground);
    QCOMPARE(texts.line, line);
    QCOMPARE(texts.current, amps);
}

void TestMeasureFormat::history_data()
{
    QTest::addColumn<int>("volt");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("ground");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("amps");

    // Line voltage here is g * 1.732 * 1.732, about g * 2.999824.
    QTest::newRow("0") << 0 << 0 << 1 << "0.0kV"
                       << "0.0kV"
                       << "0.0A";
    QTest::newRow("11: 3.300") << 11 << 5 << 2 << "1.1kV"
                               << "0.3kV"
                               << "0.05A";
    QTest::newRow("12: 3.600") << 12 << 0 << 0 << "1.2kV"
                               << "6.6kV"
                               << "0A";
    QTest::newRow("26: 7.80") << 26 << 0 << 0 << "2.6kV"
                              << "6.6kV"
                              << "0A";
    QTest::newRow("27: 8.10") << 27 << 0 << 0 << "2.7kV"
                              << "10kV"
                              << "0A";
    QTest::newRow("90: 26.998") << 90 << 0 << 0 << "9.0kV"
                                << "10kV"
                                << "0A";
    QTest::newRow("91: 27.30") << 91 << 0 << 0 << "9.1kV"
                               << "35kV"
                               << "0A";
    QTest::newRow("183: 54.90") << 183 << 0 << 0 << "18kV"
                                << "35kV"
                                << "0A";
    QTest::newRow("184: 55.20") << 184 << 0 << 0 << "18kV"
                                << "66kV"
                                << "0A";
    QTest::newRow("327: 98.09") << 327 << 250 << 1 << "33kV"
                                << "110kV"
                                << "25.0A";
    QTest::newRow("617: 185.09") << 617 << 0 << 0 << "62kV"
                                 << "220kV"
                                 << "0A";
    QTest::newRow("6000 is not over range") << 6000 << 0 << 0 << "600kV"
                                            << "220kV"
                                            << "0A";
    QTest::newRow("6500") << 6500 << 0 << 0 << "650kV"
                          << "220kV"
                          << "0A";
    QTest::newRow("65535 both 16-bit") << 65535 << 65535 << 2 << "6554kV"
                                       << "220kV"
                                       << "655.35A";
    QTest::newRow("current above one byte") << 100 << 1234 << 1 << "10kV"
                                            << "35kV"
                                            << "123.4A";
}

void TestMeasureFormat::history()
{
    QFETCH(int, volt);
    QFETCH(int, current);
    QFETCH(int, code);
    QFETCH(QString, ground);
    QFETCH(QString, line);
    QFETCH(QString, amps);

    const MeasureTexts texts =
        historyTexts(static_cast<std::uint16_t>(volt), static_cast<std::uint16_t>(current),
                     static_cast<std::uint8_t>(code));
    QCOMPARE(texts.ground, ground);
    QCOMPARE(texts.line, line);
    QCOMPARE(texts.current, amps);
}

QTEST_GUILESS_MAIN(TestMeasureFormat)
#include "test_measure_format.moc"
