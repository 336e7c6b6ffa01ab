// The real save dialog driven as a user would (typing a name, picking a type, Enter), and the
// window saving through the real seams: capture, clipboard, picture file and workbook files.

#include "platform/qt_output_seams.h"
#include "tests/output/test_save_fakes.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <freexl.h>

using namespace tesvaron;
using namespace tesvaron::test;
using namespace std::chrono_literals;

namespace {

const QString RealFilter = QStringLiteral("jpg格式 (*.jpg)|*.jpg|txt格式 (*.txt)|*.txt|");
const QString HistoryFilter = QStringLiteral("txt格式 (*.txt)|*.txt|excel格式 (*.xls)|*.xls|");
// The two file types as Qt's dialog lists them.
const QStringList RealNames{QStringLiteral("jpg格式 (*.jpg)"), QStringLiteral("txt格式 (*.txt)")};
const QStringList HistoryNames{QStringLiteral("txt格式 (*.txt)"),
                               QStringLiteral("excel格式 (*.xls)")};

// What the user does in the file dialog.
struct UserAction
{
    int type = 0; // pick this file type (1-based) first; 0 leaves it
    QString name; // typed into the name field, then Enter; empty: Cancel
};

// The dialog as the user found it.
struct SeenDialog
{
    bool open = false;
    QString title;
    QString directory;
    QStringList nameFilters;
    QString selectedFilter;
};

// Plays `action` on the next modal file dialog once it is open.
void whenDialogOpens(const UserAction& action, SeenDialog* seen)
{
    QTimer::singleShot(0ms, [action, seen] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (QWidget* other = QApplication::activeModalWidget()) other->close();
            return;
        }
        seen->open = true;
        seen->title = dialog->windowTitle();
        seen->directory = dialog->directory().absolutePath();
        seen->nameFilters = dialog->nameFilters();
        seen->selectedFilter = dialog->selectedNameFilter();
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!types || !name || action.name.isEmpty()) {
            dialog->reject();
            return;
        }
        while (action.type > 0 && types->currentIndex() < action.type - 1)
            QTest::keyClick(types, Qt::Key_Down);
        while (action.type > 0 && types->currentIndex() > action.type - 1)
            QTest::keyClick(types, Qt::Key_Up);
        // Set in one go: typed key by key, the completion list would take some of the keys.
        name->setText(action.name);
        // A question the dialog asks on Enter (such as replacing a file) is answered No.
        QTimer::singleShot(0ms, dialog, [dialog] {
            QWidget* asking = QApplication::activeModalWidget();
            if (asking && asking != dialog) asking->close();
        });
        QTest::keyClick(name, Qt::Key_Return);
        if (dialog->isVisible()) dialog->reject(); // the name was refused
    });
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class SaveRealSeamsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fileTypes_data();
    void fileTypes();
    void dialogKeepsTypeAndAddsExtension();
    void windowSavesThroughRealSeams();

private:
    QTemporaryDir home_;
};

void SaveRealSeamsTest::initTestCase()
{
    QVERIFY(home_.isValid());
    // The default folder is ~/tesvaron; keep it inside the test.
    qputenv("HOME", QFile::encodeName(home_.path()));
    QCOMPARE(defaultSaveFolder(), home_.filePath("tesvaron"));
}

void SaveRealSeamsTest::fileTypes_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("nameFilters");
    QTest::addColumn<QStringList>("extensions");
    QTest::newRow("realtime") << RealFilter << RealNames << QStringList{"jpg", "txt"};
    QTest::newRow("history") << HistoryFilter << HistoryNames << QStringList{"txt", "xls"};
    QTest::newRow("patterns not in the description")
        << "Pictures|*.bmp;*.png|All files|*.*"
        << QStringList{"Pictures (*.bmp *.png)", "All files (*.*)"} << QStringList{"bmp", ""};
    QTest::newRow("empty") << "" << QStringList() << QStringList();
}

void SaveRealSeamsTest::fileTypes()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, nameFilters);
    QFETCH(QStringList, extensions);
    QStringList names;
    QStringList exts;
    for (const FileType& type : tesvaron::fileTypes(filter)) {
        names << type.nameFilter;
        exts << type.extension;
    }
    QCOMPARE(names, nameFilters);
    QCOMPARE(exts, extensions);
}

// One dialog used again and again: the type chosen last time is preselected next time, a bare
// name gets the default extension (or that of a type the user switched to), Cancel is 32755.
void SaveRealSeamsTest::dialogKeepsTypeAndAddsExtension()
{
    struct Step
    {
        const char* what;
        QString filter;
        QString defaultExt;
        bool cancelError;
        UserAction action;
        int result;
        QString selectedAtOpen;
        QString fileName; // expected, inside the folder; empty: FileName unchanged
        int filterIndex;
    };
    const Step steps[] = {
        {"first use, bare name",
         RealFilter,
         ".jpg",
         true,
         {0, "pic"},
         0,
         "jpg格式 (*.jpg)",
         "pic.jpg",
         1},
        {"switch to the second type",
         RealFilter,
         ".jpg",
         true,
         {2, "values"},
         0,
         "jpg格式 (*.jpg)",
         "values.txt",
         2},
        {"own extension kept",
         RealFilter,
         ".txt",
         true,
         {0, "notes.dat"},
         0,
         "txt格式 (*.txt)",
         "notes.dat",
         2},
        {"index kept across filters",
         HistoryFilter,
         ".xls",
         true,
         {0, "table"},
         0,
         "excel格式 (*.xls)",
         "table.xls",
         2},
        {"back to the first type",
         HistoryFilter,
         ".xls",
         true,
         {1, "rows"},
         0,
         "excel格式 (*.xls)",
         "rows.txt",
         1},
        {"cancel", RealFilter, ".jpg", true, {2, ""}, 32755, "jpg格式 (*.jpg)", "", 1},
        {"cancel without CancelError",
         RealFilter,
         ".jpg",
         false,
         {0, ""},
         0,
         "jpg格式 (*.jpg)",
         "",
         1},
    };

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QtPrinter printer;
    QtCommonDialog dialog(printer);
    for (const Step& step : steps) {
        const QByteArray what(step.what);
        dialog.FileName.clear();
        dialog.Filter = step.filter;
        dialog.DefaultExt = step.defaultExt;
        dialog.InitDir = QDir::toNativeSeparators(folder.path());
        dialog.CancelError = step.cancelError;
        SeenDialog seen;
        whenDialogOpens(step.action, &seen);

        const int result = dialog.ShowSave(nullptr);

        QVERIFY2(seen.open, what);
        QVERIFY2(seen.title == QStringLiteral("另存为"), what);
        QVERIFY2(seen.directory == folder.path(), what);
        QVERIFY2(seen.nameFilters == (step.filter == RealFilter ? RealNames : HistoryNames), what);
        QVERIFY2(seen.selectedFilter == step.selectedAtOpen, qPrintable(seen.selectedFilter));
        QVERIFY2(result == step.result, what);
        const QString expected =
            step.fileName.isEmpty()
                ? QString()
                : QDir::toNativeSeparators(QDir(folder.path()).filePath(step.fileName));
        QVERIFY2(dialog.FileName == expected, qPrintable(dialog.FileName));
        QVERIFY2(dialog.FilterIndex == step.filterIndex, what);
    }
    // The dialog only chooses names; it writes nothing.
    QVERIFY(QDir(folder.path()).isEmpty());
}

// The whole path of the program: real dialog, window picture, system clipboard, picture file,
// workbook writer.
void SaveRealSeamsTest::windowSavesThroughRealSeams()
{
    VirtualClock clock;
    auto* boxes = new RecordingBoxes;
    Form1Seams seams;
    seams.clock = &clock;
    seams.serial = new ClosedSerial;
    seams.messageBox.reset(boxes);
    Form1 form(std::move(seams));
    const QString folder = home_.filePath("tesvaron");
    QVERIFY(!QFileInfo::exists(folder));

    // Realtime view as a picture: the default JPEG of the window as it was before the dialog.
    SeenDialog seen;
    whenDialogOpens({0, "screen"}, &seen);
    form.Button_save->click();
    QVERIFY(seen.open);
    QCOMPARE(seen.directory, folder);
    QCOMPARE(seen.nameFilters, RealNames);
    const QByteArray jpeg = readAll(QDir(folder).filePath("screen.jpg"));
    QVERIFY(jpeg.startsWith(QByteArray::fromHex("ffd8ff")));
    QCOMPARE(QImage::fromData(jpeg).size(), form.grab().size());
    QCOMPARE(QGuiApplication::clipboard()->image().size(), form.grab().size());

    // History view as a workbook, read back by freexl.
    form.TabStrip1->clickTab(2);
    form.DataGrid->setTextMatrix(4, 1, QStringLiteral("35kV"));
    seen = {};
    whenDialogOpens({2, "table"}, &seen);
    form.Button_save->click();
    QCOMPARE(seen.selectedFilter, QStringLiteral("txt格式 (*.txt)"));
    const QString xls = QDir(folder).filePath("table.xls");
    const void* handle = nullptr;
    QCOMPARE(freexl_open(QFile::encodeName(xls).constData(), &handle), FREEXL_OK);
    QCOMPARE(freexl_select_active_worksheet(handle, 0), FREEXL_OK);
    unsigned int rows = 0;
    unsigned short cols = 0;
    QCOMPARE(freexl_worksheet_dimensions(handle, &rows, &cols), FREEXL_OK);
    const auto text = [&](unsigned row, unsigned short col) {
        FreeXL_CellValue value;
        if (freexl_get_cell_value(handle, row, col, &value) != FREEXL_OK) return QString("?");
        if (value.type == FREEXL_CELL_NULL) return QString();
        if (value.type != FREEXL_CELL_SST_TEXT && value.type != FREEXL_CELL_TEXT)
            return QString("not text");
        return QString::fromUtf8(value.value.text_value);
    };
    const QString header[] = {text(0, 0), text(0, 1), text(0, 2), text(0, 3)};
    const QString row1 = text(1, 0), row4 = text(4, 1), row99 = text(99, 0), empty = text(5, 2);
    freexl_close(handle);
    QCOMPARE(rows, 100u);
    QCOMPARE(int(cols), 4);
    QCOMPARE(header[0], QStringLiteral("NO."));
    QCOMPARE(header[1], QStringLiteral("对地电压"));
    QCOMPARE(header[2], QStringLiteral("    线电压  "));
    QCOMPARE(header[3], QStringLiteral("   电      流"));
    QCOMPARE(row1, QStringLiteral("1"));
    QCOMPARE(row4, QStringLiteral("35kV"));
    QCOMPARE(row99, QStringLiteral("99"));
    QCOMPARE(empty, QString());

    // The workbook type is preselected now; a name ending in .xlsx gets Office Open XML.
    seen = {};
    whenDialogOpens({0, "table.xlsx"}, &seen);
    form.Button_save->click();
    QCOMPARE(seen.selectedFilter, QStringLiteral("excel格式 (*.xls)"));
    QVERIFY(readAll(QDir(folder).filePath("table.xlsx")).startsWith("PK\x03\x04"));

    // Choosing an existing name: the dialog asks before replacing it; No leaves it as it was.
    const QByteArray workbook = readAll(xls);
    form.DataGrid->setTextMatrix(4, 1, QStringLiteral("110kV"));
    seen = {};
    whenDialogOpens({0, "table.xls"}, &seen);
    form.Button_save->click();
    QVERIFY(seen.open);
    QCOMPARE(readAll(xls), workbook);

    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"screen.jpg", "table.xls", "table.xlsx"}));
    QVERIFY(boxes->shown.empty());
}

QTEST_MAIN(SaveRealSeamsTest)
#include "test_save_real_seams.moc"
