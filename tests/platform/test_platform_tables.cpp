// COM-number mapping and the save dialog's file types by table; the real save dialog and
// message box, answered as soon as they are up.

#include "platform/message_box.h"
#include "platform/port_map.h"
#include "platform/qt_output_seams.h"
#include "platform/qt_printer.h"
#include "platform/serial_backend.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace tesvaron;

// Runs `answer` on the modal dialog once it is up.
template <typename Dialog> void whenUp(std::function<void(Dialog&)> answer)
{
    QTimer::singleShot(0, [answer] {
        if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) answer(*d);
    });
}

class TestPlatformTables : public QObject
{
    Q_OBJECT
private slots:
    // The dialog opens on the type the index names and reports the type chosen in it; picking
    // another type gives a bare name that type's extension.
    void realSaveDialog()
    {
        QTemporaryDir dir;
        QtPrinter printer;
        QtCommonDialog dialog(printer);
        dialog.Filter = "txt格式 (*.txt)|*.txt|excel格式 (*.xls)|*.xls|";
        dialog.FilterIndex = 2;
        dialog.DefaultExt = ".xls";
        dialog.InitDir = dir.path();
        dialog.FileName = "历史记录-1";
        dialog.CancelError = true;
        QString opened;
        whenUp<QFileDialog>([&](QFileDialog& d) {
            opened = d.selectedNameFilter();
            if (d.acceptMode() != QFileDialog::AcceptSave ||
                !d.testOption(QFileDialog::DontUseNativeDialog))
                opened.clear();
            d.selectNameFilter("txt格式 (*.txt)");
            emit d.filterSelected("txt格式 (*.txt)");
            QMetaObject::invokeMethod(&d, "accept");
        });
        QCOMPARE(dialog.ShowSave(nullptr), 0);
        QCOMPARE(opened, "excel格式 (*.xls)");
        QCOMPARE(dialog.FileName, QDir::toNativeSeparators(dir.filePath("历史记录-1.txt")));
        QCOMPARE(dialog.FilterIndex, 1);
        whenUp<QFileDialog>([](QFileDialog& d) { d.reject(); });
        QCOMPARE(dialog.ShowSave(nullptr), CommonDialog::CancelErrorNumber);
    }

    // No page ranges to offer; Cancel is 32755, OK prints (here to a PDF file).
    void realPrintDialog()
    {
        QTemporaryDir home; // the PDF fallback makes its folder there
        qputenv("HOME", QFile::encodeName(home.path()));
        QtPrinter printer;
        QtCommonDialog dialog(printer);
        dialog.Flags = CommonDialog::NoPageNums;
        dialog.CancelError = true;
        bool ranges = true;
        QString path; // the PDF path field: its text while it shows it whole
        whenUp<QPrintDialog>([&](QPrintDialog& d) {
            ranges = d.testOption(QAbstractPrintDialog::PrintPageRange) ||
                     d.testOption(QAbstractPrintDialog::PrintCurrentPage) ||
                     d.testOption(QAbstractPrintDialog::PrintSelection);
            for (const QLineEdit* e : d.findChildren<QLineEdit*>())
                if (e->isVisible() && e->text().endsWith(".pdf") &&
                    e->contentsRect().width() > e->fontMetrics().horizontalAdvance(e->text()))
                    path = e->text();
            d.reject();
        });
        QString why;
#ifdef Q_OS_WIN // without a printer, no dialog (the system's own, which no test can answer)
        QCOMPARE(dialog.ShowPrinter(nullptr, &why), 0);
        QVERIFY(printer.device().outputFileName().startsWith(defaultSaveFolder()));
        return;
#endif
        QCOMPARE(dialog.ShowPrinter(nullptr, &why), CommonDialog::CancelErrorNumber);
        QVERIFY(!ranges);
        if (QPrinterInfo::availablePrinters().isEmpty()) QVERIFY(path.startsWith(home.path()));
    }

    // Lines run on to a second page; a cell past its column's start pushes the rest down a line;
    // a printer that cannot start says so once.
    void pdfPages()
    {
        QTemporaryDir dir;
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(dir.filePath("p.pdf"));
        QtPrinter printer(&pdf);
        printer.setCurrentY(500);
        for (int row = 1; row <= 99; ++row)
            printer.printLine({{PrintItem::ToColumn, {}, 10},
                               {PrintItem::Text, QString::number(row)},
                               {PrintItem::ToColumn, {}, 18},
                               {PrintItem::Text, row == 7 ? QString(14, 'W') : "12kV"},
                               {PrintItem::ToColumn, {}, 30},
                               {PrintItem::Text, row == 7 ? "pushed" : "35kV"}});
        printer.printLine({{PrintItem::Text, "above"}}); // lines of text alone go down too
        printer.printLine({{PrintItem::Text, "below"}});
        QVERIFY(printer.EndDoc(nullptr));
        QCOMPARE(printer.outputFile(), dir.filePath("p.pdf")); // named in the window's status bar
        if (QSysInfo::kernelType() == "winnt") QSKIP("Wine runs no poppler tools for us");
        QProcess text;
        text.start("pdftotext", {"-bbox", dir.filePath("p.pdf"), "-"});
        QVERIFY(text.waitForFinished());
        const QString boxes = QString::fromUtf8(text.readAllStandardOutput());
        QCOMPARE(boxes.count("<page "), 2);
        const auto top = [&](const QString& word) {
            const auto m = QRegularExpression("yMin=\"([0-9.]+)\"[^>]*>" + word + "<").match(boxes);
            return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
        };
        QVERIFY(top("pushed") > top("WWWWWWWWWWWWWW") + 5);
        QVERIFY(top("7") > 0 && top("WWWWWWWWWWWWWW") == top("7") && top("below") > top("above"));

        QPrinter nowhere(QPrinter::HighResolution);
        nowhere.setOutputFormat(QPrinter::PdfFormat);
        nowhere.setOutputFileName(dir.path()); // a folder: the job cannot start
        QtPrinter failing(&nowhere);
        failing.printLine({{PrintItem::Text, "x"}});
        failing.printLine({{PrintItem::Text, "y"}});
        QString why;
        QVERIFY(!failing.EndDoc(&why));
        QCOMPARE(why, "打印机无法开始打印");
    }

    void realMessageBox()
    {
        using Seam = MessageBoxSeam::Icon;
        for (const auto& [icon, want] : {std::pair{Seam::Exclamation, QMessageBox::Warning},
                                         {Seam::Information, QMessageBox::Information},
                                         {Seam::None, QMessageBox::NoIcon}}) {
            QMessageBox::Icon shown = QMessageBox::Critical;
            QString text;
            whenUp<QMessageBox>([&](QMessageBox& box) {
                shown = box.icon();
                text = box.text();
                box.accept();
            });
            QtMessageBox().show(nullptr, "t", "a\rb\r\nc\r\n", icon);
            QCOMPARE(shown, want);
            QCOMPARE(text, "a\nb\nc");
        }
    }

    void systemPortOrder()
    {
        QCOMPARE(orderSystemPorts({"/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyS0",
                                   "/dev/ttyUSB2", "/dev/ttyAMA0"}),
                 (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyAMA0",
                              "/dev/ttyS0", "/dev/ttyS1"}));
    }

    // Links take their numbers; the system's ports fill the others in order.
    void comNumbers()
    {
        const QMap<int, QString> links{{2, "/links/COM2"}, {4, "/links/COM4"}};
        const QStringList system{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0"};
        const QStringList expected{
            "", "/dev/ttyUSB0", "/links/COM2", "/dev/ttyUSB1", "/links/COM4", "/dev/ttyS0", "", ""};
        for (int n = 0; n < expected.size(); ++n)
            QCOMPARE(mapComPort(n, links, system), expected[n]);
        QCOMPARE(mapComPort(16, {{16, "/links/COM16"}}, system), "/links/COM16");
        QCOMPARE(mapComPort(17, {{17, "/links/COM17"}}, system), "");
        // Windows: from COM10 on, only the device path opens the port.
        const std::pair<int, const char*> windows[] = {
            {0, ""}, {1, "COM1"}, {9, "COM9"}, {10, "\\\\.\\COM10"}, {16, "\\\\.\\COM16"},
            {17, ""}};
        for (const auto& [n, name] : windows)
            QCOMPARE(windowsComPort(n), QString::fromLatin1(name));
    }

    // A number that names no port is "无效" on either system (on Windows: file not found).
    void portThatIsNotThere()
    {
        QTemporaryDir links;
        qputenv("TESVARON_PORTS", links.path().toLocal8Bit());
        QtSerialBackend port;
        QString detail;
        QCOMPARE(port.open(LastComNumber, &detail), OpenOutcome::NotFound);
        QVERIFY(!port.isOpen());
        QVERIFY2(detail.contains("COM16"), qPrintable(detail));
#ifdef Q_OS_WIN // a port another program holds is 被占用 (under Wine: COM9, a file held here)
        if (!qEnvironmentVariableIsSet("TESVARON_COM9_IS_A_FILE")) QSKIP("COM9 is no file here");
        const HANDLE holder = ::CreateFileW(L"\\\\.\\COM9", GENERIC_READ | GENERIC_WRITE, 0,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
        QCOMPARE(port.open(9, &detail), OpenOutcome::InUse);
        QVERIFY(::CloseHandle(holder) && port.open(9, &detail) == OpenOutcome::NotFound);
#endif
    }

    void fileTypesOfAFilter()
    {
        QStringList got;
        for (const FileType& t : fileTypes("txt格式 (*.txt)|*.txt|excel格式|*.xls;*.xlsx||*.*||"))
            got << t.nameFilter + " = " + t.extension;
        QCOMPARE(got, (QStringList{"txt格式 (*.txt) = txt", "excel格式 (*.xls *.xlsx) = xls",
                                   " (*.*) = "})); // a pair without a name is still a type
    }
};

QTEST_MAIN(TestPlatformTables)
#include "test_platform_tables.moc"
