// Saving files in one step: successful replacement, and failures that must leave the target as
// it was with no stray temporary file.

#include "output/atomic_file.h"
#include "output/workbook_file.h"
#include "tests/output/file_io.h"
#include "tests/output/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <unistd.h>

using tesvaron::SheetCell;
using tesvaron::SheetCells;
using tesvaron::test::FileSizeLimit;

using namespace tesvaron::test;

namespace {

using Writer = std::function<bool(const QString& path, QString* error)>;

// Every file these write is well over 1 KiB.
bool writeText(const QString& path, QString* error)
{
    return tesvaron::writeFileAtomically(path, QByteArray(6000, 'x'), error);
}

bool writeTable(const QString& path, QString* error)
{
    SheetCells cells(100, std::vector<SheetCell>(4));
    for (int r = 0; r < 100; ++r)
        cells[size_t(r)][0] = {QString::number(r), true};
    cells[0][1] = {QStringLiteral("对地电压"), true};
    return tesvaron::writeWorkbookFile(path, cells, error);
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class FileWritesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void replacesOlderFile_data();
    void replacesOlderFile();
    void unreachableTarget_data();
    void unreachableTarget();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void FileWritesTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

// .xls and text share the one-step writer; .xlsx goes through a scratch file first.
void FileWritesTest::replacesOlderFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Writer>("write");
    QTest::newRow("text") << "saved.txt" << Writer(writeText);
    QTest::newRow("xls") << "saved.xls" << Writer(writeTable);
    QTest::newRow("xlsx") << "saved.xlsx" << Writer(writeTable);
}

void FileWritesTest::unreachableTarget_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Writer>("write");
    QTest::addColumn<QString>("where");
    // The folder is missing or read-only: no temporary file can be made. The target is a folder:
    // the temporary file cannot take its place.
    for (const char* where : {"missing folder", "read-only folder", "target is a folder"}) {
        QTest::addRow("text, %s", where) << "saved.txt" << Writer(writeText) << where;
        QTest::addRow("xlsx, %s", where) << "saved.xlsx" << Writer(writeTable) << where;
    }
}

void FileWritesTest::unreachableTarget()
{
    QFETCH(QString, name);
    QFETCH(Writer, write);
    QFETCH(QString, where);
    const QString parent = dir_->filePath(QStringLiteral("parent"));
    const QString path = parent + QLatin1Char('/') + name;
    if (where == QLatin1String("read-only folder")) {
        if (geteuid() == 0) QSKIP("permissions do not stop root");
        QVERIFY(QDir().mkdir(parent));
        QVERIFY(QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner));
    } else if (where == QLatin1String("target is a folder")) {
        QVERIFY(QDir().mkpath(path));
    }
    QString error;
    const bool written = write(path, &error);
    QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!written);
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QVERIFY(!QFileInfo(path).isFile());
    if (where == QLatin1String("target is a folder")) {
        QVERIFY(QDir(path).isEmpty());
        // No temporary file left beside it.
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{name});
    }
}

// Over an older file that is longer than any new content: a write that the disk stops
// part-way leaves it as it was, a whole write replaces all of it; neither leaves a temporary
// file.
void FileWritesTest::replacesOlderFile()
{
    QFETCH(QString, name);
    QFETCH(Writer, write);
    const QString path = dir_->filePath(name);
    const QByteArray older(200000, 'o');
    QVERIFY(writeBytes(path, older));
    QString error;
    bool written = true;
    bool limited = false;
    {
        const FileSizeLimit limit(1024);
        limited = limit.active();
        written = write(path, &error);
    }
    QVERIFY(limited);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), older);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});

    QVERIFY2(write(path, &error), qPrintable(error));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.size() < 200000);
    QVERIFY(!bytes.contains("oooooooo"));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

QTEST_GUILESS_MAIN(FileWritesTest)
#include "test_file_writes.moc"
