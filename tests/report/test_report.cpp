// The inspection report as a reader finds it: the PDF's text, pages, metadata and fonts.

#include "report/inspection_report.h"
#include "tests/support/data.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace tesvaron;

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

HistoryRow record(int no, std::uint16_t raw, std::uint16_t current, std::uint8_t code)
{
    HistoryRow row;
    row.no = no;
    row.value.texts = historyTexts(raw, current, code);
    return row;
}

InspectionReport download(int records)
{
    InspectionReport r;
    for (const ReportFieldInfo& f : reportFieldTable())
        r.fields.*(f.member) = QString::fromUtf8(f.caption).left(2) + QStringLiteral("值");
    r.fields.lineName = QStringLiteral("110kV 青山线");
    r.fields.operatorName = QStringLiteral("张伟");
    r.fields.tower = QStringLiteral("N37");
    r.started = QDateTime(QDate(2026, 12, 7), QTime(8, 1, 2), QTimeZone(8 * 3600));
    r.ended = r.started.addSecs(1);
    r.port = {QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0")};
    r.reported = records;
    for (int i = 1; i <= records; ++i)
        r.rows.append(record(i, std::uint16_t(i * 7), std::uint16_t(i * 3), 1));
    return r;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void ninetyNineRecords()
    {
        InspectionReport r = download(99);
        r.rows[98] = record(99, 6500, 1234, 2); // 650 kV: a history row shows it as it is
        const QString path = dir.filePath("report.pdf");
        QCOMPARE(renderInspectionReport(r, path), QString());
        if (QSysInfo::kernelType() == "winnt") QSKIP("Wine runs no poppler tools for us");

        const QString text = run("pdftotext", {"-layout", path, "-"});
        // Rows: NO., ground, line class, current; numbers without units, aligned at the right.
        QVERIFY(test::readsAsGolden(text.split('\n'), "report-99"));
        // Right-aligned: the currents "9.9" (row 33) and "10.2" (row 34) end at the same x.
        const QString boxes = run("pdftotext", {"-bbox", path, "-"});
        const auto right = [&](const char* word) {
            const auto m =
                QRegularExpression(QString("xMax=\"([0-9.]+)\"[^>]*>%1<").arg(word)).match(boxes);
            return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
        };
        QVERIFY(right("9\\.9") > 0 && qAbs(right("9\\.9") - right("10\\.2")) < 0.5);

        const QString info = run("pdfinfo", {path});
        for (const char* field : {"Title:\\s+验电检测报告 110kV 青山线", "Author:\\s+张伟",
                                  "Pages:\\s+2\\n", "CreationDate:\\s+\\S"})
            QVERIFY2(info.contains(QRegularExpression(QString::fromUtf8(field))), field);
        const QStringList fonts = run("pdffonts", {path}).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString& font : fonts) // name, type, encoding, emb, sub, uni, object, id
            QVERIFY2(font.simplified().section(' ', -5, -5) == "yes", qPrintable(font));
    }

    void sessionChartAndCutShort()
    {
        InspectionReport s = download(0);
        s.fromDownload = false;
        const qint64 t0 = s.started.toMSecsSinceEpoch();
        for (int i = 0; i < 2400; ++i)
            s.samples.append({t0 + i * 1500, 10.0f + float(i % 9), 2.5f, i == 700, i == 1200});
        QString path = dir.filePath("session.pdf");
        QCOMPARE(renderInspectionReport(s, path), QString());
        if (QSysInfo::kernelType() == "winnt") QSKIP("Wine runs no poppler tools for us");
        QString text = run("pdftotext", {"-layout", path, "-"});
        QVERIFY(test::readsAsGolden(text.split('\n'), "report-session"));
        InspectionReport cut = download(25);
        cut.complete = false;
        cut.reported = 40;
        cut.ended = {};
        path = dir.filePath("cut.pdf");
        QCOMPARE(renderInspectionReport(cut, path), QString());
        text = run("pdftotext", {"-layout", path, "-"});
        QVERIFY(test::readsAsGolden(text.split('\n'), "report-cut"));
        QVERIFY(!renderInspectionReport(cut, dir.filePath("missing/dir/x.pdf")).isEmpty());
    }

    void fields()
    {
        ReportFields f;
        QCOMPARE(missingReportFields(f), QStringList({"线路名称", "检测人"}));
        f.lineName = " ";
        f.operatorName = QStringLiteral("李");
        QCOMPARE(missingReportFields(f), QStringList({"线路名称"}));

        QSettings settings(dir.filePath("fields.ini"), QSettings::IniFormat);
        const InspectionReport r = download(1);
        saveReportFields(settings, r.fields);
        const ReportFields back = loadReportFields(settings);
        for (const ReportFieldInfo& info : reportFieldTable())
            QCOMPARE(back.*(info.member), r.fields.*(info.member));
    }

    // West of UTC by a half hour, UTC itself, no time at all (east: the report above).
    void times()
    {
        const QDate d(2026, 12, 7);
        QCOMPARE(timeWithOffset(QDateTime(d, QTime(23, 0), QTimeZone(-(3 * 3600 + 1800)))),
                 "2026-12-07 23:00:00 -03:30");
        QCOMPARE(timeWithOffset(QDateTime(d, {}, QTimeZone::utc())), "2026-12-07 00:00:00 +00:00");
        QCOMPARE(timeWithOffset({}), "");
    }
};

QTEST_MAIN(TestReport)
#include "test_report.moc"
