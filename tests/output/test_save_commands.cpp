// The Save command of the window over a scripted dialog: the dialog sequence, the capture,
// the folder, the files it writes and how a failed save is reported. The file layouts and the
// writers themselves are pinned in test_text_files and test_file_writes.

#include "tests/output/file_io.h"
#include "tests/output/file_size_limit.h"
#include "tests/output/test_save_fakes.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

const QString RealFilter = QStringLiteral("jpg格式 (*.jpg)|*.jpg|txt格式 (*.txt)|*.txt|");
const QString HistoryFilter = QStringLiteral("txt格式 (*.txt)|*.txt|excel格式 (*.xls)|*.xls|");

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
}

QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The one message box of a failed save: "文件未能保存：", the path, CR LF and the reason.
void checkFailureBox(const RecordingMessageBox& boxes, const QString& path)
{
    QCOMPARE(boxes.shown.size(), size_t(1));
    const ShownBox& box = boxes.shown.front();
    QCOMPARE(box.title, QStringLiteral("保存失败"));
    QCOMPARE(box.icon, MessageBoxSeam::Icon::Exclamation);
    const QString prefix =
        QStringLiteral("文件未能保存：") + QDir::toNativeSeparators(path) + QStringLiteral("\r\n");
    QVERIFY2(box.text.startsWith(prefix), qPrintable(box.text));
    QVERIFY(box.text.size() > prefix.size());
    QCOMPARE(boxes.beeps, 0);
}

} // namespace

class SaveCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void dialogSequence();
    void folderThatCannotBeMade();

    void realtimeTextReadAfterDialog();
    void pictureFormatByName_data();
    void pictureFormatByName();
    void pictureFromClipboard_data();
    void pictureFromClipboard();
    void historyText();

    void workbookCalls();
    void workbookFailure_data();
    void workbookFailure();

    void failedSaveKeepsOlderFile_data();
    void failedSaveKeepsOlderFile();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    QString folder_;
};

void SaveCommandsTest::init()
{
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    folder_ = tmp_->filePath(QStringLiteral("home/tesvaron"));
}

// One window, one dialog: the type chosen at one save decides the next save's default
// extension and whether the realtime view is captured, across both views.
void SaveCommandsTest::dialogSequence()
{
    struct Step
    {
        const char* what;
        bool realtime;
        const char* defaultExt;
        bool captured;
        int choice; // type index the user picks, 0 = Cancel
        const char* name;
    };
    const Step steps[] = {
        {"first save, cancelled", true, ".jpg", true, 0, ""},
        {"realtime after a Cancel", true, ".jpg", true, 2, "a.txt"},
        {"after realtime text", true, ".txt", false, 0, ""},
        {"history after realtime text", false, ".xls", false, 2, "b.xls"},
        {"after history workbook", false, ".xls", false, 1, "c.txt"},
        {"realtime after history text", true, ".jpg", true, 1, "d.jpg"},
        {"history after realtime picture", false, ".txt", false, 0, ""},
    };

    SaveRig rig(folder_);
    const QImage shot = filled(20, 10, qRgb(0, 128, 0));
    rig.output->screen = shot;
    rig.dialog().FileName = QStringLiteral("left over");
    QVERIFY(!QFileInfo::exists(tmp_->filePath("home")));
    for (const Step& step : steps) {
        const QByteArray what(step.what);
        step.realtime ? rig.showRealtime() : rig.showHistory();
        step.choice ? rig.dialog().choose(step.choice, QString::fromLatin1(step.name))
                    : rig.dialog().cancel();
        const int grabs = rig.output->grabs;
        const size_t shown = rig.dialog().saves.size();

        rig.save();

        QVERIFY2(rig.dialog().saves.size() == shown + 1, what);
        const DialogUse& use = rig.dialog().saves.back();
        QVERIFY2(use.fileName.isEmpty(), what);
        QVERIFY2(use.filter == (step.realtime ? RealFilter : HistoryFilter), what);
        QVERIFY2(use.defaultExt == QLatin1String(step.defaultExt), what);
        QVERIFY2(use.initDir == folder_, what);
        QVERIFY2(use.cancelError, what);
        // Made before the dialog, two levels of it, also when the user then cancels.
        QVERIFY2(use.folderExisted, what);
        QVERIFY2(rig.output->grabs == grabs + (step.captured ? 1 : 0), what);
        if (&step == steps) {
            // The capture stays on the clipboard after a Cancel.
            QCOMPARE(rig.output->clipboard, shot);
            QVERIFY(filesIn(folder_).isEmpty());
        }
    }
    QVERIFY(rig.boxes->shown.empty());
    QCOMPARE(filesIn(folder_), (QStringList{"a.txt", "c.txt", "d.jpg"}));
    // The workbook went to the (recording) spreadsheet application, not to a file.
    QVERIFY(rig.output->workbookLog.contains(
        QStringLiteral("saveAs(%1)").arg(QDir(folder_).filePath("b.xls"))));
}

// A file stands where the folder's parent should be: the folder cannot be made, and the
// dialog opens all the same.
void SaveCommandsTest::folderThatCannotBeMade()
{
    const QString blocker = tmp_->filePath("home");
    QVERIFY(writeBytes(blocker, "a file"));
    SaveRig rig(folder_);
    rig.dialog().choose(2, tmp_->filePath("rt.txt"));

    rig.save();

    QCOMPARE(rig.dialog().saves.size(), size_t(1));
    QVERIFY(!rig.dialog().saves.front().folderExisted);
    QVERIFY(QFileInfo(blocker).isFile());
    QVERIFY(QFileInfo(tmp_->filePath("rt.txt")).isFile());
    QVERIFY(rig.boxes->shown.empty());
}

// The labels are read after the dialog has closed, each into its own line.
void SaveCommandsTest::realtimeTextReadAfterDialog()
{
    SaveRig rig(folder_);
    Form1& form = *rig.form;
    rig.dialog().choices.push_back({2, QStringLiteral("values.txt"), false, [&] {
                                        form.Lab_value_lg->setText(QStringLiteral("8.4kV"));
                                        form.Lab_value_ll->setText(QStringLiteral("10kV"));
                                        form.Lab_value_a->setText(QStringLiteral("3A"));
                                    }});

    rig.save();

    QCOMPARE(readAll(QDir(folder_).filePath("values.txt")),
             hex("20202020 b6d4b5d8b5e7d1b9 20202020 382e346b56 0d0a"
                 "202020202020202020 cfdfb5e7d1b9 20202020 31306b56 0d0a"
                 "202020202020202020 b5e7 2020202020 c1f7 20202020 3341 0d0a"));
    QCOMPARE(filesIn(folder_), QStringList{"values.txt"});
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::pictureFormatByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<bool>("lossless");
    QTest::newRow("JPEG upper case") << "shot.JPEG" << hex("ffd8ff") << false;
    QTest::newRow("png") << "shot.png" << hex("89504e470d0a1a0a") << true;
    QTest::newRow("other extension: bitmap") << "shot.pic" << hex("424d") << true;
}

void SaveCommandsTest::pictureFormatByName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    QFETCH(bool, lossless);

    SaveRig rig(folder_);
    const QRgb colour = qRgb(200, 40, 30);
    rig.output->screen = filled(64, 48, colour);
    rig.dialog().choose(1, name);

    rig.save();

    const QByteArray bytes = readAll(QDir(folder_).filePath(name));
    QVERIFY2(bytes.startsWith(magic), bytes.left(8).toHex(' ').constData());
    const QImage back = QImage::fromData(bytes);
    QCOMPARE(back.size(), QSize(64, 48));
    const QRgb pixel = back.pixel(32, 24);
    if (lossless)
        QCOMPARE(pixel, colour);
    else
        QVERIFY(qAbs(qRed(pixel) - 200) < 8 && qAbs(qGreen(pixel) - 40) < 8 &&
                qAbs(qBlue(pixel) - 30) < 8);
    QCOMPARE(filesIn(folder_), QStringList{name});
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::pictureFromClipboard_data()
{
    QTest::addColumn<bool>("afterText");   // a save as text came first: the index is 2
    QTest::addColumn<QImage>("clipboard"); // put on the clipboard while the dialog is open
    QTest::addColumn<QSize>("saved");      // invalid: no file
    QTest::newRow("captured before the dialog")
        << false << filled(7, 5, qRgb(9, 9, 9)) << QSize(7, 5);
    QTest::newRow("no capture, clipboard empty") << true << QImage() << QSize();
    QTest::newRow("no capture, an older picture")
        << true << filled(11, 13, qRgb(4, 5, 6)) << QSize(11, 13);
}

// The capture is taken before the dialog, when the index is below 2; what gets saved is what
// the clipboard holds after the dialog, or nothing at all.
void SaveCommandsTest::pictureFromClipboard()
{
    QFETCH(bool, afterText);
    QFETCH(QImage, clipboard);
    QFETCH(QSize, saved);
    SaveRig rig(folder_);
    rig.output->screen = filled(64, 48, qRgb(1, 2, 3));
    if (afterText) {
        rig.dialog().choose(2, QStringLiteral("first.txt"));
        rig.save();
    }
    rig.dialog().choices.push_back({1, QStringLiteral("shot.png"), false, [&] {
                                        // Taken before the dialog, by this save or the first.
                                        QCOMPARE(rig.output->grabs, 1);
                                        QCOMPARE(rig.output->clipboard.size(), QSize(64, 48));
                                        rig.output->clipboard = clipboard;
                                    }});

    rig.save();

    QCOMPARE(rig.output->grabs, 1);
    const QString shot = QDir(folder_).filePath("shot.png");
    QCOMPARE(QFileInfo::exists(shot), saved.isValid());
    if (saved.isValid()) QCOMPARE(QImage(shot).size(), saved);
    QVERIFY(rig.boxes->shown.empty());
}

// The table's cells reach the text file; a bare name gets the default extension.
void SaveCommandsTest::historyText()
{
    SaveRig rig(folder_);
    rig.showHistory();
    rig.form->DataGrid->setTextMatrix(3, 1, QStringLiteral("12.3kV"));
    rig.form->DataGrid->setTextMatrix(3, 2, QStringLiteral("10kV"));
    rig.form->DataGrid->setTextMatrix(3, 3, QStringLiteral("1.25A"));
    rig.dialog().choose(1, QStringLiteral("history"));

    rig.save();

    const QByteArray text = readAll(QDir(folder_).filePath("history.txt"));
    // The header in GBK: 5 spaces, "NO.", 5 spaces, 对地电压, 5 spaces, 线电压, 5 spaces, 电,
    // 4 spaces, 流, CR LF; then row 1, its number at column 10.
    QVERIFY(text.startsWith(hex("2020202020 4e4f2e 2020202020 b6d4b5d8b5e7d1b9 2020202020"
                                " cfdfb5e7d1b9 2020202020 b5e7 20202020 c1f7 0d0a"
                                " 202020202020202020 31 20")));
    const QByteArray spaces9(9, ' ');
    QVERIFY(text.contains("\r\n" + spaces9 + "3" + QByteArray(7, ' ') + "12.3kV" +
                          QByteArray(6, ' ') + "10kV" + QByteArray(8, ' ') + "1.25A\r\n" + spaces9 +
                          "4 "));
    // 47 header bytes, 41 for row 1, CR LF and 41 for each of rows 2 to 99; row 3 filled is 46.
    QCOMPARE(text.size(), 47 + 41 + 98 * 43 + 5);
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::workbookCalls()
{
    SaveRig rig(folder_);
    rig.showHistory();
    rig.form->DataGrid->setTextMatrix(99, 3, QStringLiteral("0.57A"));
    rig.dialog().choose(2, QStringLiteral("table.xls"));

    rig.save();

    const QStringList& log = rig.output->workbookLog;
    // create, add, sheet, 400 cells with two calls each, save, close, quit.
    QCOMPARE(log.size(), 3 + 800 + 3);
    QCOMPARE(log.mid(0, 9), (QStringList{"create", "addWorkbook", "firstWorksheet", "align(1,1,3)",
                                         "value(1,1,NO.)", "align(2,1,3)", "value(2,1,1)",
                                         "align(3,1,3)", "value(3,1,2)"}));
    // Columns outer, rows inner: column A ends with row 100 before column B starts.
    QCOMPARE(log.mid(3 + 2 * 99, 4), (QStringList{"align(100,1,3)", "value(100,1,99)",
                                                  "align(1,2,3)", "value(1,2,对地电压)"}));
    // The table's own header texts, spaces included.
    QVERIFY(log.contains(QStringLiteral("value(1,3,    线电压  )")));
    QVERIFY(log.contains(QStringLiteral("value(1,4,   电      流)")));
    QVERIFY(log.contains(QStringLiteral("value(50,2,)")));
    QCOMPARE(log.mid(log.size() - 5),
             (QStringList{"align(100,4,3)", "value(100,4,0.57A)",
                          "saveAs(" + QDir(folder_).filePath("table.xls") + ")", "closeWorkbook",
                          "quit"}));
    QCOMPARE(log.filter(QRegularExpression(QStringLiteral("^align\\(\\d+,\\d+,3\\)$"))).size(),
             400);
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::workbookFailure_data()
{
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<QString>("lastCall");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const char* failAt, const char* lastCall,
                        const char* reason) {
        QTest::newRow(name) << QString(failAt) << QString(lastCall) << QString(reason);
    };
    row("no spreadsheet component", "create", "create", "");
    row("new workbook", "addWorkbook", "addWorkbook", "");
    row("a cell", "value(50,2,", "value(50,2,)", "(50, 2)");
    row("save as", "saveAs", "saveAs", "the file is locked");
}

// A failing step ends the export: nothing after it is called, and the user is told.
void SaveCommandsTest::workbookFailure()
{
    QFETCH(QString, failAt);
    QFETCH(QString, lastCall);
    QFETCH(QString, reason);

    SaveRig rig(folder_);
    rig.showHistory();
    rig.output->workbookFailAt = failAt;
    rig.dialog().choose(2, QStringLiteral("table.xls"));

    rig.save();

    const QStringList& log = rig.output->workbookLog;
    QVERIFY2(log.last().startsWith(lastCall), qPrintable(log.last()));
    QVERIFY(!log.contains(QStringLiteral("closeWorkbook")));
    QVERIFY(!log.contains(QStringLiteral("quit")));
    checkFailureBox(*rig.boxes, QDir(folder_).filePath("table.xls"));
    QVERIFY2(rig.boxes->shown.front().text.contains(reason), qPrintable(reason));
}

void SaveCommandsTest::failedSaveKeepsOlderFile_data()
{
    QTest::addColumn<bool>("history");
    QTest::addColumn<int>("type"); // the file type index chosen
    QTest::addColumn<QString>("name");
    QTest::newRow("realtime text") << false << 2 << "keep.txt";
    QTest::newRow("realtime picture") << false << 1 << "keep.bmp";
    QTest::newRow("history text") << true << 1 << "keep.txt";
}

// A disk that fills up part-way: every save goes through the one-step writer, so the older
// file stays as it was, no temporary file is left, and the user is told.
void SaveCommandsTest::failedSaveKeepsOlderFile()
{
    QFETCH(bool, history);
    QFETCH(int, type);
    QFETCH(QString, name);

    SaveRig rig(folder_);
    rig.output->screen = filled(64, 48, qRgb(1, 2, 3));
    if (history) rig.showHistory();
    QVERIFY(QDir().mkpath(folder_));
    const QString path = QDir(folder_).filePath(name);
    QVERIFY(writeBytes(path, "older"));
    rig.dialog().choose(type, name);
    {
        // Every one of these files is longer than 16 bytes.
        const FileSizeLimit limit(16);
        QVERIFY(limit.active());
        rig.save();
    }

    QCOMPARE(readAll(path), QByteArray("older"));
    QCOMPARE(filesIn(folder_), QStringList{name});
    checkFailureBox(*rig.boxes, path);
    QVERIFY(!rig.form->closing());
}

QTEST_MAIN(SaveCommandsTest)
#include "test_save_commands.moc"
