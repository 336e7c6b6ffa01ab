// Both pages printed by the window through the real printer seam into PDF files, read back with
// poppler's pdftotext (text and word boxes) and pdfinfo (page count).

#include "platform/qt_printer.h"
#include "tests/output/test_save_fakes.h"

#include <QApplication>
#include <QLabel>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tesvaron;
using namespace tesvaron::test;

using namespace std::chrono_literals;

namespace {

constexpr auto ToolTimeout = 60s;

// A word of the PDF text with its page (1-based) and top-left corner in points.
struct Word
{
    int page;
    double x;
    double y;
    QString text;
};

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    const int timeout = int(std::chrono::milliseconds(ToolTimeout).count());
    if (!process.waitForFinished(timeout) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pageCount(const QString& pdf)
{
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)$"),
                                   QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pages.match(run("pdfinfo", {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

std::vector<Word> words(const QString& pdf)
{
    const QString html = run("pdftotext", {"-bbox", pdf, "-"});
    std::vector<Word> out;
    int page = 0;
    const QRegularExpression item(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        out.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
    }
    return out;
}

const Word* find(const std::vector<Word>& all, const QString& text, int nth = 0)
{
    for (const Word& word : all)
        if (word.text == text && nth-- == 0) return &word;
    return nullptr;
}

} // namespace

class PrintPdfTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void historyPage();
    void printDialogOffersPdf();

private:
    // The metrics the printed columns and lines must follow: the default font on the printer.
    QFontMetricsF metrics() const { return QFontMetricsF(QFont(), device_.get()); }
    double points(qreal deviceUnits) const { return deviceUnits * 72.0 / device_->resolution(); }
    // Prints the window's current view into `pdf` without the dialog.
    void printTo(SaveRig& rig, const QString& pdf);

    std::unique_ptr<QTemporaryDir> tmp_;
    std::unique_ptr<QPrinter> device_;
    std::unique_ptr<QtPrinter> printer_;
};

void PrintPdfTest::initTestCase()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
        QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QSKIP("poppler-utils (pdftotext, pdfinfo) is not installed");
}

void PrintPdfTest::init()
{
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
}

void PrintPdfTest::printTo(SaveRig& rig, const QString& pdf)
{
    device_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    device_->setOutputFormat(QPrinter::PdfFormat);
    device_->setPageSize(QPageSize(QPageSize::A4));
    device_->setOutputFileName(pdf);
    printer_ = std::make_unique<QtPrinter>(device_.get());
    rig.output->realPrinter = printer_.get();
    rig.print();
}

void PrintPdfTest::historyPage()
{
    SaveRig rig(tmp_->path());
    rig.showHistory();
    FlexGrid* grid = rig.form->DataGrid;
    const QString row3[] = {"12.3kV", "10kV", "1.25A"};
    const QString row7[] = {"123456789012345678kV", "5.5kV", "2.5A"}; // reaches past column 30
    for (int c = 0; c < 3; ++c) {
        grid->setTextMatrix(3, c + 1, row3[c]);
        grid->setTextMatrix(7, c + 1, row7[c]);
    }
    grid->setTextMatrix(99, 3, QStringLiteral("0.07A"));
    const QString pdf = tmp_->filePath("history.pdf");

    printTo(rig, pdf);

    // 102 lines at the printer's default font do not fit one A4 page.
    QVERIFY2(pageCount(pdf) >= 2, qPrintable(QString::number(pageCount(pdf))));

    const QString text = run("pdftotext", {"-layout", pdf, "-"});
    const QStringList lines = text.split(QLatin1Char('\n'));
    QVERIFY(QRegularExpression(QStringLiteral("^\\s*NO\\.\\s+对地电压\\s+线电压\\s+电流\\s*$"))
                .match(lines.value(lines.indexOf(QRegularExpression(QStringLiteral(".*NO\\..*")))))
                .hasMatch());
    // Every row number, in order, each starting its own line.
    int next = 1;
    for (const QString& line : lines) {
        bool isNumber = false;
        const int number = line.simplified().section(QLatin1Char(' '), 0, 0).toInt(&isNumber);
        if (isNumber) QCOMPARE(number, next++);
    }
    QCOMPARE(next, 100);

    // Column positions in points, measured from the row number at column 10.
    const std::vector<Word> all = words(pdf);
    const double column = points(metrics().averageCharWidth());
    QVERIFY(column > 0);
    const Word* three = find(all, QStringLiteral("3"));
    QVERIFY(three);
    const auto at = [&](const Word* word, double columns, double y) {
        return word && qAbs(word->x - three->x - columns * column) < 0.3 && qAbs(word->y - y) < 0.5;
    };
    QVERIFY(at(find(all, "NO."), 5 - 9, find(all, "NO.")->y));
    QVERIFY(at(find(all, "12.3kV"), 17 - 9, three->y));
    QVERIFY(at(find(all, "10kV", 0), 29 - 9, three->y));
    QVERIFY(at(find(all, "1.25A"), 41 - 9, three->y));

    // Row 7's long voltage pushes its line voltage onto the next line, at column 30.
    const Word* seven = find(all, QStringLiteral("7"));
    QVERIFY(seven);
    const double lineHeight = points(metrics().lineSpacing());
    QVERIFY(at(find(all, "123456789012345678kV"), 17 - 9, seven->y));
    QVERIFY(at(find(all, "5.5kV"), 29 - 9, seven->y + lineHeight));
    QVERIFY(at(find(all, "2.5A"), 41 - 9, seven->y + lineHeight));
    const Word* eight = find(all, QStringLiteral("8"));
    QVERIFY(eight && qAbs(eight->y - seven->y - 2 * lineHeight) < 0.5);

    // The header is on the first page, the last row further on.
    QCOMPARE(find(all, "NO.")->page, 1);
    const Word* last = find(all, QStringLiteral("0.07A"));
    QVERIFY(last && last->page >= 2);
    QVERIFY(at(last, 41 - 9, find(all, "99")->y));
}

// With no printer installed, the real print dialog offers a PDF file in the default folder;
// accepting it prints the realtime page there. Cancel prints nothing and says nothing.
void PrintPdfTest::printDialogOffersPdf()
{
    if (!QPrinterInfo::availablePrinters().isEmpty()) QSKIP("a printer is installed here");
    qputenv("HOME", QFile::encodeName(tmp_->path()));
    FormRig rig; // over the real seams
    rig.form->Lab_value_a->setText(QStringLiteral("12.5A"));
    const QString pdf = tmp_->filePath("tesvaron/tesvaron.pdf");
    QVERIFY(QDir().mkpath(tmp_->filePath("tesvaron")));

    for (const bool accept : {false, true}) {
        bool seen = false;
        bool pageRange = true;
        QTimer::singleShot(0ms, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                if (QWidget* other = QApplication::activeModalWidget()) other->close();
                return;
            }
            seen = true;
            pageRange = dialog->testOption(QAbstractPrintDialog::PrintPageRange);
            accept ? dialog->accept() : dialog->reject();
        });
        rig.form->Button_print->click();
        QVERIFY(seen);
        QVERIFY(!pageRange);
        QCOMPARE(QFileInfo::exists(pdf), accept);
    }
    QCOMPARE(pageCount(pdf), 1);
    // The realtime page: three lines of text; the filler lines are blank.
    const QRegularExpression lineBreaks(QStringLiteral("\\s*\\n\\s*"));
    QCOMPARE(run("pdftotext", {"-layout", pdf, "-"}).trimmed().split(lineBreaks),
             (QStringList{"对地电压0.0kV", "线电压0.0kV", "电流12.5A"}));
    QVERIFY(rig.boxes->shown.empty());
    QCOMPARE(rig.boxes->beeps, 0);
}

QTEST_MAIN(PrintPdfTest)
#include "test_print_pdf.moc"
