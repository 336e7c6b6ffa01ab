// The Save command of the window over a scripted dialog: the dialog sequence, the capture,
// the folder, the files it writes and how a failed save is reported.

#include "tests/output/test_save_fakes.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

const QString RealFilter = QStringLiteral("jpg格式 (*.jpg)|*.jpg|txt格式 (*.txt)|*.txt|");
const QString HistoryFilter = QStringLiteral("txt格式 (*.txt)|*.txt|excel格式 (*.xls)|*.xls|");

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

// The header line of the history text file in GBK: 5 spaces, "NO.", 5 spaces, 对地电压,
// 5 spaces, 线电压, 5 spaces, 电, 4 spaces, 流, CR LF.
const QByteArray HistoryHeader = hex("2020202020 4e4f2e 2020202020 b6d4b5d8b5e7d1b9 2020202020"
                                     " cfdfb5e7d1b9 2020202020 b5e7 20202020 c1f7 0d0a");

// A full disk for this process: files may not grow beyond `bytes`. Holds for root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};

enum class Kind { RealText, RealPicture, HistoryText, Workbook };

} // namespace

Q_DECLARE_METATYPE(Kind)

class SaveCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void dialogSequence();
    void firstSaveOnEachView_data();
    void firstSaveOnEachView();
    void folderThatCannotBeMade_data();
    void folderThatCannotBeMade();

    void realtimeText_data();
    void realtimeText();
    void pictureFormatByName_data();
    void pictureFormatByName();
    void pictureIsTakenFromClipboardAfterDialog();
    void pictureWithoutCapture_data();
    void pictureWithoutCapture();
    void historyText_data();
    void historyText();

    void workbookCalls();
    void workbookFailure_data();
    void workbookFailure();

    void failedSaveKeepsOlderFile_data();
    void failedSaveKeepsOlderFile();
    void unwritableTarget_data();
    void unwritableTarget();

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
        {"first save, realtime", true, ".jpg", true, 2, "a.txt"},
        {"after realtime text", true, ".txt", false, 0, ""},
        {"history after realtime text", false, ".xls", false, 2, "b.xls"},
        {"after history workbook", false, ".xls", false, 1, "c.txt"},
        {"realtime after history text", true, ".jpg", true, 1, "d.jpg"},
        {"history after realtime picture", false, ".txt", false, 0, ""},
        {"realtime after a Cancel", true, ".jpg", true, 0, ""},
    };

    SaveRig rig(folder_);
    rig.output->screen = filled(20, 10, qRgb(0, 128, 0));
    rig.dialog().FileName = QStringLiteral("left over");
    for (const Step& step : steps) {
        const QByteArray what(step.what);
        if (step.realtime)
            rig.showRealtime();
        else
            rig.showHistory();
        if (step.choice == 0)
            rig.dialog().cancel();
        else
            rig.dialog().choose(step.choice, QString::fromLatin1(step.name));
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
        QVERIFY2(use.folderExisted, what);
        QVERIFY2(rig.output->grabs == grabs + (step.captured ? 1 : 0), what);
    }
    QCOMPARE(rig.output->clipboardSets, 3);
    QVERIFY(rig.boxes->shown.empty());
    QCOMPARE(filesIn(folder_), (QStringList{"a.txt", "c.txt", "d.jpg"}));
    // The workbook went to the (recording) spreadsheet application, not to a file.
    QVERIFY(rig.output->workbookLog.contains(
        QStringLiteral("saveAs(%1)").arg(QDir(folder_).filePath("b.xls"))));
}

void SaveCommandsTest::firstSaveOnEachView_data()
{
    QTest::addColumn<bool>("realtime");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("defaultExt");
    QTest::addColumn<int>("grabs");
    QTest::newRow("realtime") << true << RealFilter << ".jpg" << 1;
    QTest::newRow("history") << false << HistoryFilter << ".txt" << 0;
}

// The first save after start-up, cancelled: the default folder (two levels missing) is made
// before the dialog opens, nothing is written, and the capture stays on the clipboard.
void SaveCommandsTest::firstSaveOnEachView()
{
    QFETCH(bool, realtime);
    QFETCH(QString, filter);
    QFETCH(QString, defaultExt);
    QFETCH(int, grabs);

    SaveRig rig(folder_);
    const QImage shot = filled(30, 20, qRgb(10, 20, 30));
    rig.output->screen = shot;
    if (!realtime) rig.showHistory();
    QVERIFY(!QFileInfo::exists(tmp_->filePath("home")));
    rig.dialog().cancel();

    rig.save();

    QCOMPARE(rig.dialog().saves.size(), size_t(1));
    const DialogUse& use = rig.dialog().saves.front();
    QCOMPARE(use.filter, filter);
    QCOMPARE(use.defaultExt, defaultExt);
    QVERIFY(use.folderExisted);
    QVERIFY(QFileInfo(folder_).isDir());
    QVERIFY(filesIn(folder_).isEmpty());
    QCOMPARE(rig.output->grabs, grabs);
    QCOMPARE(rig.output->clipboardSets, grabs);
    QCOMPARE(rig.output->clipboard, grabs ? shot : QImage());
    QVERIFY(rig.boxes->shown.empty());
    QCOMPARE(rig.dialog().FilterIndex, 0);
}

void SaveCommandsTest::folderThatCannotBeMade_data()
{
    QTest::addColumn<bool>("realtime");
    QTest::newRow("realtime") << true;
    QTest::newRow("history") << false;
}

// A file stands where the folder's parent should be: the folder cannot be made, and the
// dialog opens all the same.
void SaveCommandsTest::folderThatCannotBeMade()
{
    QFETCH(bool, realtime);
    const QString blocker = tmp_->filePath("home");
    QVERIFY(writeBytes(blocker, "a file"));
    SaveRig rig(folder_);
    if (!realtime) rig.showHistory();
    rig.dialog().choose(2, tmp_->filePath(realtime ? "rt.txt" : "h.xls"));

    rig.save();

    QCOMPARE(rig.dialog().saves.size(), size_t(1));
    QVERIFY(!rig.dialog().saves.front().folderExisted);
    QVERIFY(QFileInfo(blocker).isFile());
    if (realtime) QVERIFY(QFileInfo(tmp_->filePath("rt.txt")).isFile());
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::realtimeText_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("whileOpen"); // captions set while the dialog is open
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("before any measurement")
        << QStringList() << QStringList()
        << hex("20202020 b6d4b5d8b5e7d1b9 20202020 302e306b56 0d0a"
               "202020202020202020 cfdfb5e7d1b9 20202020 302e306b56 0d0a"
               "202020202020202020 b5e7 2020202020 c1f7 20202020 302e3041 0d0a");
    QTest::newRow("over range") << QStringList{"NO--", "NO--", "12.50A"} << QStringList()
                                << hex("20202020 b6d4b5d8b5e7d1b9 20202020 4e4f2d2d 0d0a"
                                       "202020202020202020 cfdfb5e7d1b9 20202020 4e4f2d2d 0d0a"
                                       "202020202020202020 b5e7 2020202020 c1f7 20202020"
                                       " 31322e353041 0d0a");
    // The captions are read after the dialog has closed.
    QTest::newRow("changed during the dialog")
        << QStringList{"1.0kV", "1.0kV", "0.0A"} << QStringList{"8.4kV", "10kV", "3A"}
        << hex("20202020 b6d4b5d8b5e7d1b9 20202020 382e346b56 0d0a"
               "202020202020202020 cfdfb5e7d1b9 20202020 31306b56 0d0a"
               "202020202020202020 b5e7 2020202020 c1f7 20202020 3341 0d0a");
}

void SaveCommandsTest::realtimeText()
{
    QFETCH(QStringList, captions);
    QFETCH(QStringList, whileOpen);
    QFETCH(QByteArray, expected);

    SaveRig rig(folder_);
    Form1& form = *rig.form;
    QLabel* labels[] = {form.Lab_value_lg, form.Lab_value_ll, form.Lab_value_a};
    for (int i = 0; i < captions.size(); ++i)
        labels[i]->setText(captions[i]);
    rig.dialog().choices.push_back({2, QStringLiteral("values.txt"), false, [&] {
                                        for (int i = 0; i < whileOpen.size(); ++i)
                                            labels[i]->setText(whileOpen[i]);
                                    }});

    rig.save();

    QCOMPARE(readAll(QDir(folder_).filePath("values.txt")), expected);
    QCOMPARE(filesIn(folder_), QStringList{"values.txt"});
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::pictureFormatByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<bool>("lossless");
    QTest::newRow("jpg") << "shot.jpg" << hex("ffd8ff") << false;
    QTest::newRow("JPEG upper case") << "shot.JPEG" << hex("ffd8ff") << false;
    QTest::newRow("png") << "shot.png" << hex("89504e470d0a1a0a") << true;
    QTest::newRow("bmp") << "shot.bmp" << hex("424d") << true;
    QTest::newRow("other extension") << "shot.pic" << hex("424d") << true;
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

    const QString path = QDir(folder_).filePath(name);
    const QByteArray bytes = readAll(path);
    QVERIFY2(bytes.startsWith(magic), bytes.left(8).toHex(' ').constData());
    const QImage back = QImage::fromData(bytes);
    QCOMPARE(back.size(), QSize(64, 48));
    const QRgb pixel = back.pixel(32, 24);
    if (lossless) {
        QCOMPARE(pixel, colour);
    } else {
        QVERIFY(qAbs(qRed(pixel) - 200) < 8 && qAbs(qGreen(pixel) - 40) < 8 &&
                qAbs(qBlue(pixel) - 30) < 8);
    }
    QCOMPARE(filesIn(folder_), QStringList{name});
    QVERIFY(rig.boxes->shown.empty());
}

// The capture is taken before the dialog; what gets saved is what the clipboard holds after it.
void SaveCommandsTest::pictureIsTakenFromClipboardAfterDialog()
{
    SaveRig rig(folder_);
    rig.output->screen = filled(64, 48, qRgb(1, 2, 3));
    rig.dialog().choices.push_back({1, QStringLiteral("later.png"), false, [&] {
                                        QCOMPARE(rig.output->clipboard.size(), QSize(64, 48));
                                        rig.output->clipboard = filled(7, 5, qRgb(9, 9, 9));
                                    }});

    rig.save();

    const QImage back(QDir(folder_).filePath("later.png"));
    QCOMPARE(back.size(), QSize(7, 5));
    QCOMPARE(rig.output->grabs, 1);
}

void SaveCommandsTest::pictureWithoutCapture_data()
{
    QTest::addColumn<bool>("olderPicture");
    QTest::newRow("clipboard empty") << false;
    QTest::newRow("older picture on the clipboard") << true;
}

// After a save as text the index is 2: no capture before the dialog, and the picture type then
// saves whatever the clipboard holds, or nothing at all.
void SaveCommandsTest::pictureWithoutCapture()
{
    QFETCH(bool, olderPicture);
    SaveRig rig(folder_);
    rig.output->screen = filled(64, 48, qRgb(1, 2, 3));
    rig.dialog().choose(2, QStringLiteral("first.txt"));
    rig.save();
    QCOMPARE(rig.output->grabs, 1);
    rig.output->clipboard = olderPicture ? filled(11, 13, qRgb(4, 5, 6)) : QImage();

    rig.dialog().choose(1, QStringLiteral("second.png"));
    rig.save();

    QCOMPARE(rig.dialog().saves.back().defaultExt, QStringLiteral(".txt"));
    QCOMPARE(rig.output->grabs, 1);
    const QString second = QDir(folder_).filePath("second.png");
    if (olderPicture)
        QCOMPARE(QImage(second).size(), QSize(11, 13));
    else
        QVERIFY(!QFileInfo::exists(second));
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::historyText_data()
{
    QTest::addColumn<bool>("filled");
    QTest::newRow("empty table") << false;
    QTest::newRow("row 3 filled") << true;
}

void SaveCommandsTest::historyText()
{
    QFETCH(bool, filled);
    SaveRig rig(folder_);
    rig.showHistory();
    if (filled) {
        rig.form->DataGrid->setTextMatrix(3, 1, QStringLiteral("12.3kV"));
        rig.form->DataGrid->setTextMatrix(3, 2, QStringLiteral("10kV"));
        rig.form->DataGrid->setTextMatrix(3, 3, QStringLiteral("1.25A"));
    }
    rig.dialog().choose(1, QStringLiteral("history"));

    rig.save();

    // The default extension came with the bare name.
    const QByteArray text = readAll(QDir(folder_).filePath("history.txt"));
    const QByteArray spaces9(9, ' ');
    // Header, then row 1 (number at column 10, spaces to 41 characters), row 2 after CR LF.
    QVERIFY(text.startsWith(HistoryHeader + spaces9 + "1" + QByteArray(31, ' ') + "\r\n" + spaces9 +
                            "2" + QByteArray(31, ' ') + "\r\n"));
    const QByteArray row3 = filled ? spaces9 + "3" + QByteArray(7, ' ') + "12.3kV" +
                                         QByteArray(6, ' ') + "10kV" + QByteArray(8, ' ') + "1.25A"
                                   : spaces9 + "3" + QByteArray(31, ' ');
    QVERIFY(text.contains("\r\n" + row3 + "\r\n" + spaces9 + "4 "));
    // No CR LF at the end: the file ends with row 99's spaces before its empty last cell.
    QVERIFY(text.endsWith("\r\n" + spaces9 + "99" + QByteArray(30, ' ')));
    // 47 header bytes, 41 for row 1, CR LF and 41 for each of rows 2 to 99; row 3 filled is 46.
    QCOMPARE(text.size(), 47 + 41 + 98 * 43 + (filled ? 5 : 0));
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
    int alignments = 0;
    for (const QString& call : log)
        alignments += call.startsWith(QLatin1String("align(")) ? 1 : 0;
    QCOMPARE(alignments, 400);
    QVERIFY(rig.boxes->shown.empty());
}

void SaveCommandsTest::workbookFailure_data()
{
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<QString>("lastCall");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no spreadsheet component") << "create"
                                              << "create"
                                              << "";
    QTest::newRow("new workbook") << "addWorkbook"
                                  << "addWorkbook"
                                  << "";
    QTest::newRow("a cell") << "value(50,2,"
                            << "value(50,2,)"
                            << "(50, 2)";
    QTest::newRow("save as") << "saveAs"
                             << "saveAs"
                             << "the file is locked";
}

// A failing step ends the export: nothing after it is called, and the user is told.
void SaveCommandsTest::workbookFailure()
{
    QFETCH(QString, failAt);
    QFETCH(QString, lastCall);
    QFETCH(QString, reason);

    SaveRig rig(folder_);
    rig.showHistory();
    rig.output->noWorkbook = failAt == QLatin1String("create");
    rig.output->workbookFailAt = failAt;
    rig.dialog().choose(2, QStringLiteral("table.xls"));

    rig.save();

    const QStringList& log = rig.output->workbookLog;
    QVERIFY2(log.last().startsWith(lastCall), qPrintable(log.last()));
    QVERIFY(!log.contains(QStringLiteral("closeWorkbook")));
    QVERIFY(!log.contains(QStringLiteral("quit")));
    QCOMPARE(rig.boxes->shown.size(), size_t(1));
    const ShownBox& box = rig.boxes->shown.front();
    QCOMPARE(box.title, QStringLiteral("保存失败"));
    QCOMPARE(box.icon, MessageBoxSeam::Icon::Exclamation);
    const QString prefix = QStringLiteral("文件未能保存：") +
                           QDir::toNativeSeparators(QDir(folder_).filePath("table.xls")) +
                           QStringLiteral("\r\n");
    QVERIFY2(box.text.startsWith(prefix), qPrintable(box.text));
    QVERIFY(box.text.size() > prefix.size());
    QVERIFY2(box.text.contains(reason), qPrintable(box.text));
    QCOMPARE(rig.boxes->beeps, 0);
}

void SaveCommandsTest::failedSaveKeepsOlderFile_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("realtime text") << Kind::RealText << "keep.txt";
    QTest::newRow("realtime picture") << Kind::RealPicture << "keep.bmp";
    QTest::newRow("history text") << Kind::HistoryText << "keep.txt";
}

// A disk that fills up part-way: the user is told, the older file stays as it was, no
// temporary file is left, and the next save works.
void SaveCommandsTest::failedSaveKeepsOlderFile()
{
    QFETCH(Kind, kind);
    QFETCH(QString, name);

    SaveRig rig(folder_);
    rig.output->screen = filled(64, 48, qRgb(1, 2, 3));
    if (kind == Kind::HistoryText) rig.showHistory();
    QVERIFY(QDir().mkpath(folder_));
    const QString path = QDir(folder_).filePath(name);
    const QByteArray older = "older";
    QVERIFY(writeBytes(path, older));
    const int index = kind == Kind::RealText ? 2 : 1;

    rig.dialog().choose(index, name);
    {
        // Every one of these files is longer than 16 bytes.
        const FileSizeLimit limit(16);
        QVERIFY(limit.active());
        rig.save();
    }

    QCOMPARE(readAll(path), older);
    QCOMPARE(filesIn(folder_), QStringList{name});
    QCOMPARE(rig.boxes->shown.size(), size_t(1));
    QCOMPARE(rig.boxes->shown.front().title, QStringLiteral("保存失败"));
    QVERIFY(rig.boxes->shown.front().text.startsWith(QStringLiteral("文件未能保存：") +
                                                     QDir::toNativeSeparators(path) + "\r\n"));
    QVERIFY(!rig.form->closing());

    rig.dialog().choose(index, name);
    rig.save();
    QVERIFY(readAll(path).size() > 16);
    QCOMPARE(rig.boxes->shown.size(), size_t(1));
}

void SaveCommandsTest::unwritableTarget_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("directory"); // the target is a folder; else its folder is missing
    for (const bool directory : {false, true}) {
        const char* where = directory ? "target is a folder: " : "folder missing: ";
        QTest::addRow("%srealtime text", where) << Kind::RealText << directory;
        QTest::addRow("%srealtime picture", where) << Kind::RealPicture << directory;
        QTest::addRow("%shistory text", where) << Kind::HistoryText << directory;
    }
}

void SaveCommandsTest::unwritableTarget()
{
    QFETCH(Kind, kind);
    QFETCH(bool, directory);

    SaveRig rig(folder_);
    rig.output->screen = filled(8, 8, qRgb(1, 2, 3));
    if (kind == Kind::HistoryText) rig.showHistory();
    QVERIFY(QDir().mkpath(folder_));
    const QString name = directory ? QStringLiteral("taken.txt") : QStringLiteral("gone/x.txt");
    if (directory) QVERIFY(QDir(folder_).mkdir(name));
    rig.dialog().choose(kind == Kind::RealText ? 2 : 1, name);

    rig.save();

    QCOMPARE(rig.boxes->shown.size(), size_t(1));
    QVERIFY(rig.boxes->shown.front().text.startsWith(QStringLiteral("文件未能保存：")));
    QCOMPARE(rig.boxes->shown.front().icon, MessageBoxSeam::Icon::Exclamation);
    QCOMPARE(filesIn(folder_), directory ? QStringList{name} : QStringList());
    if (directory) QVERIFY(QDir(QDir(folder_).filePath(name)).isEmpty());
    QVERIFY(!rig.form->closing());
}

QTEST_MAIN(SaveCommandsTest)
#include "test_save_commands.moc"
