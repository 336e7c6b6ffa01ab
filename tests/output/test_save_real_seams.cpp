// The real save dialog driven as a user would (typing a name, picking a type, Enter), and the
// window saving through the real seams: capture, clipboard, picture file and workbook files.

#include "app/tab_strip.h"
#include "platform/qt_output_seams.h"
#include "tests/output/file_io.h"
#include "tests/support/form_rig.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
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

} // namespace

class SaveRealSeamsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
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

// One dialog used again and again: the type chosen last time is preselected next time, a bare
// name gets the default extension (or that of a type the user switched to), Cancel is 32755.
void SaveRealSeamsTest::dialogKeepsTypeAndAddsExtension()
{
    struct Step
    {
        const char* what;
        bool realtime; // the realtime filter, else the history one
        const char* defaultExt;
        bool cancelError;
        UserAction action;
        int result;
        int selectedAtOpen;   // 1-based
        const char* fileName; // expected, inside the folder; empty: FileName unchanged
        int filterIndex;
    };
    const Step steps[] = {
        {"first use, bare name", true, ".jpg", true, {0, "pic"}, 0, 1, "pic.jpg", 1},
        {"switch to the second type", true, ".jpg", true, {2, "values"}, 0, 1, "values.txt", 2},
        {"own extension kept", true, ".txt", true, {0, "notes.dat"}, 0, 2, "notes.dat", 2},
        {"index kept across filters", false, ".xls", true, {0, "table"}, 0, 2, "table.xls", 2},
        {"back to the first type", false, ".xls", true, {1, "rows"}, 0, 2, "rows.txt", 1},
        {"cancel", true, ".jpg", true, {2, ""}, 32755, 1, "", 1},
        {"cancel without CancelError", true, ".jpg", false, {0, ""}, 0, 1, "", 1},
    };

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QtPrinter printer;
    QtCommonDialog dialog(printer);
    for (const Step& step : steps) {
        const QByteArray what(step.what);
        dialog.FileName.clear();
        dialog.Filter = step.realtime ? RealFilter : HistoryFilter;
        dialog.DefaultExt = step.defaultExt;
        dialog.InitDir = QDir::toNativeSeparators(folder.path());
        dialog.CancelError = step.cancelError;
        SeenDialog seen;
        whenDialogOpens(step.action, &seen);

        const int result = dialog.ShowSave(nullptr);

        QVERIFY2(seen.open, what);
        QVERIFY2(seen.title == QStringLiteral("另存为"), what);
        QVERIFY2(seen.directory == folder.path(), what);
        const QStringList& names = step.realtime ? RealNames : HistoryNames;
        QVERIFY2(seen.nameFilters == names, what);
        QVERIFY2(seen.selectedFilter == names.at(step.selectedAtOpen - 1), what);
        QVERIFY2(result == step.result, what);
        const QString expected =
            *step.fileName ? QDir::toNativeSeparators(QDir(folder.path()).filePath(step.fileName))
                           : QString();
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
    FormRig rig; // over the real seams
    Form1& form = *rig.form;
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
    unsigned int rows = 0;
    unsigned short cols = 0;
    const bool opened = freexl_select_active_worksheet(handle, 0) == FREEXL_OK &&
                        freexl_worksheet_dimensions(handle, &rows, &cols) == FREEXL_OK;
    QStringList texts; // the cells looked at, in the order below
    for (const auto& [row, col] :
         {std::pair{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {4, 1}, {99, 0}, {5, 2}}) {
        FreeXL_CellValue value;
        if (freexl_get_cell_value(handle, unsigned(row), quint16(col), &value) != FREEXL_OK)
            texts << QStringLiteral("?");
        else if (value.type == FREEXL_CELL_NULL)
            texts << QString();
        else if (value.type != FREEXL_CELL_SST_TEXT && value.type != FREEXL_CELL_TEXT)
            texts << QStringLiteral("not text");
        else
            texts << QString::fromUtf8(value.value.text_value);
    }
    freexl_close(handle);
    QVERIFY(opened);
    QCOMPARE(rows, 100u);
    QCOMPARE(int(cols), 4);
    QCOMPARE(texts, (QStringList{"NO.", QStringLiteral("对地电压"), QStringLiteral("    线电压  "),
                                 QStringLiteral("   电      流"), "1", "35kV", "99", ""}));

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
    QVERIFY(rig.boxes->shown.empty());
}

QTEST_MAIN(SaveRealSeamsTest)
#include "test_save_real_seams.moc"
