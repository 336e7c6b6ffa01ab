// Saving files in one step: successful replacement, and failures that must leave the target as
// it was with no stray temporary file.

#include "output/atomic_file.h"
#include "output/workbook_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using tesvaron::SheetCell;
using tesvaron::SheetCells;
using tesvaron::writeFileAtomically;
using tesvaron::writeWorkbookFile;

namespace {

using Writer = std::function<bool(const QString& path, QString* error)>;

SheetCells smallTable()
{
    SheetCells cells(100, std::vector<SheetCell>(4));
    for (int r = 0; r < 100; ++r)
        cells[size_t(r)][0] = {QString::number(r), true};
    cells[0][1] = {QStringLiteral("对地电压"), true};
    return cells;
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

// Lowers the largest file size this process may write, the way a full disk would stop a write
// part-way; holds for root too, unlike folder permissions.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

Q_DECLARE_METATYPE(Writer)

class FileWritesTest : public QObject
{
    Q_OBJECT

private slots:
    void replacesExistingFile_data();
    void replacesExistingFile();
    void unreachableFolder_data();
    void unreachableFolder();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();

private:
    void addWriters();
};

void FileWritesTest::addWriters()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Writer>("write");
    QTest::newRow("text") << "saved.txt" << Writer([](const QString& path, QString* error) {
        return writeFileAtomically(path, QByteArray(6000, 'x'), error);
    });
    QTest::newRow("xls") << "saved.xls" << Writer([](const QString& path, QString* error) {
        return writeWorkbookFile(path, smallTable(), error);
    });
    QTest::newRow("xlsx") << "saved.xlsx" << Writer([](const QString& path, QString* error) {
        return writeWorkbookFile(path, smallTable(), error);
    });
}

void FileWritesTest::replacesExistingFile_data()
{
    addWriters();
}

void FileWritesTest::replacesExistingFile()
{
    QFETCH(QString, name);
    QFETCH(Writer, write);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    // Longer than any new content, so that a write without truncation would show.
    QVERIFY(writeBytes(path, QByteArray(200000, 'o')));
    QString error;
    QVERIFY2(write(path, &error), qPrintable(error));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.size() < 200000);
    QVERIFY(!bytes.contains("oooooooo"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

void FileWritesTest::unreachableFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Writer>("write");
    QTest::addColumn<QString>("folder");
    const QStringList folders = {"missing", "regular-file", "read-only"};
    const Writer text = [](const QString& path, QString* error) {
        return writeFileAtomically(path, "abc", error);
    };
    const Writer workbook = [](const QString& path, QString* error) {
        return writeWorkbookFile(path, smallTable(), error);
    };
    for (const QString& folder : folders) {
        QTest::addRow("text, %s", qPrintable(folder)) << "saved.txt" << text << folder;
        QTest::addRow("xls, %s", qPrintable(folder)) << "saved.xls" << workbook << folder;
        QTest::addRow("xlsx, %s", qPrintable(folder)) << "saved.xlsx" << workbook << folder;
    }
}

void FileWritesTest::unreachableFolder()
{
    QFETCH(QString, name);
    QFETCH(Writer, write);
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString parent = dir.filePath(folder);
    if (folder == QLatin1String("regular-file")) {
        QVERIFY(writeBytes(parent, "not a folder"));
    } else if (folder == QLatin1String("read-only")) {
        if (geteuid() == 0) QSKIP("permissions do not stop root");
        QVERIFY(QDir().mkdir(parent));
        QVERIFY(QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner));
    }
    const QString path = parent + QLatin1Char('/') + name;
    QString error;
    const bool written = write(path, &error);
    if (folder == QLatin1String("read-only"))
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QVERIFY(!QFileInfo::exists(path));
    if (folder == QLatin1String("regular-file"))
        QCOMPARE(readAll(parent), QByteArray("not a folder"));
}

void FileWritesTest::failedWriteKeepsOldFile_data()
{
    addWriters();
}

void FileWritesTest::failedWriteKeepsOldFile()
{
    QFETCH(QString, name);
    QFETCH(Writer, write);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    const QByteArray old = "an older file that must survive";
    QVERIFY(writeBytes(path, old));

    QString error;
    bool written = true;
    bool limited = false;
    {
        // Every new file here is well over 1 KiB.
        const FileSizeLimit limit(1024);
        limited = limit.active();
        written = write(path, &error);
    }
    QVERIFY(limited);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

QTEST_GUILESS_MAIN(FileWritesTest)
#include "test_file_writes.moc"
