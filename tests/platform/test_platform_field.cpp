// Held, planted, flooding and vanishing ports, the clock on every locale, Qt's Chinese, PDF names,
// one copy.
#include "app/clock_text.h"
#include "platform/device_port.h"
#include "platform/lock_files.h"
#include "platform/pdf_file.h"
#include "platform/private_folder.h"
#include "platform/qt_translations.h"
#include "platform/serial_backend.h"
#include "platform/single_instance.h"
#include "tests/support/data.h"

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tesvaron;

// A pseudo-terminal linked as COM7 in a private port-link folder.
struct Pty
{
    QTemporaryDir links;
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QString slave = (grantpt(master), unlockpt(master), QFile::decodeName(ptsname(master)));
    bool linked = QFile::link(slave, links.filePath(QStringLiteral("COM7"))) &&
                  qputenv("TESVARON_PORTS", QFile::encodeName(links.path()));
};

class TestPlatformField : public QObject
{
    Q_OBJECT
private slots:
    // Only a plain lock file of the live holder's owner holds a port, whatever its age, and
    // nothing under the lock's name can make the open wait.
    void lockFilesThatCannotHangOrLie()
    {
        Pty pty;
        QTemporaryDir locks;
        QtSerialBackend backend;
        backend.setLockFolders({locks.path()});
        QProcess holder, gone;
        holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        gone.start(QStringLiteral("true"), QStringList());
        QVERIFY(holder.waitForStarted() && gone.waitForStarted());
        const QByteArray gonePid = QByteArray::number(gone.processId());
        QVERIFY(gone.waitForFinished());
        const QByteArray pid = QByteArray::number(holder.processId());
        const QString lock = locks.filePath(lockFileName(pty.slave));
        const QString real = locks.filePath(QStringLiteral("real"));
        const auto put = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() &&
                   f.setFileTime(QDateTime::currentDateTime().addSecs(-35),
                                 QFileDevice::FileModificationTime);
        };
        const std::pair<const char*, std::function<bool()>> rows[] = {
            {"held: Qt's layout", [&] { return put(lock, pid + "\nsleep\nhost\n"); }},
            {"held: serial tools' layout",
             [&] { return put(lock, pid.rightJustified(10) + "\n"); }},
            {"free: a FIFO", [&] { return ::mkfifo(QFile::encodeName(lock), 0666) == 0; }},
            {"free: a link to a lock", [&] { return put(real, pid) && QFile::link(real, lock); }},
            {"free: a process that is gone", [&] { return put(lock, gonePid); }},
            {"free: this process", [&] { return put(lock, QByteArray::number(::getpid())); }},
            {"free: not the owner of the process named",
             [&] {
                 return put(lock, "1\n") &&
                        (::geteuid() != 0 || ::chown(QFile::encodeName(lock), 65534, 65534) == 0);
             }},
        };
        for (const auto& [what, plant] : rows) {
            QFile::remove(lock);
            QVERIFY2(plant(), what);
            const OpenOutcome expected =
                QByteArray(what).startsWith("held") ? OpenOutcome::InUse : OpenOutcome::Opened;
            QVERIFY2(backend.open(7, nullptr) == expected, what);
            backend.close();
        }
        QCOMPARE(lockFileName(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("LCK..ttyUSB0"));
        holder.kill();
        holder.waitForFinished();
        QFile::remove(lock);

        const int flocked = ::open(qPrintable(pty.slave), O_RDWR | O_NOCTTY); // flock alone
        QVERIFY(flocked >= 0 && ::flock(flocked, LOCK_EX | LOCK_NB) == 0);
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::InUse);
        ::close(flocked);
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::Opened);
        QFile own(lock); // ours, as the serial tools and Qt read it
        QVERIFY(own.open(QIODevice::ReadOnly) &&
                own.readLine() == QByteArray::number(::getpid()) + "\n");
        const int other = ::open(qPrintable(pty.slave), O_RDWR | O_NOCTTY); // ours is held
        QVERIFY(other < 0 || ::flock(other, LOCK_EX | LOCK_NB) != 0);
        ::close(other);
        backend.close();
        QVERIFY(!own.exists());
    }

    void hangUpClosesThePortWithoutSpinning()
    {
        Pty pty;
        QtSerialBackend backend;
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::Opened);
        QVERIFY(backend.write("T")); // a single byte goes out as a write of its own
        const std::clock_t before = std::clock();
        ::close(pty.master);
        QTRY_VERIFY_WITH_TIMEOUT(!backend.isOpen(), 3000);
        QVERIFY(double(std::clock() - before) / CLOCKS_PER_SEC < 0.2);
    }

    // A device that sends without end: no more than the read limit is ever held.
    void floodingDeviceIsHeldToTheReadLimit()
    {
        Pty pty;
        QtSerialBackend backend;
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::Opened);
        ::fcntl(pty.master, F_SETFL, O_NONBLOCK);
        const QByteArray flood(DevicePort::ReadLimit, char(0xB1));
        qsizetype sent = 0;
        for (ssize_t n = 0; n >= 0 && sent < 64 * DevicePort::ReadLimit; sent += n)
            n = ::write(pty.master, flood.constData(), size_t(flood.size()));
        QVERIFY(sent > 2 * DevicePort::ReadLimit);
        QTRY_COMPARE(backend.bytesAvailable(), DevicePort::ReadLimit);
        QCoreApplication::processEvents();
        QCOMPARE(backend.readAll().size(), DevicePort::ReadLimit);
        QTRY_COMPARE(backend.bytesAvailable(), DevicePort::ReadLimit); // the driver kept the rest
    }

    // Port links come only from a folder of the user's own that nobody else may write in, and
    // only the user's own links count.
    void portLinksOnlyFromAPrivateFolder()
    {
        Pty pty;
        QtSerialBackend backend;
        const auto linked = [&] {
            backend.open(7, nullptr);
            backend.close();
            return backend.device() == pty.slave;
        };
        const QString folder = pty.links.path();
        const QByteArray name = QFile::encodeName(folder);
        QTemporaryDir other;
        const QString file = other.filePath(QStringLiteral("file"));
        const QString link = other.filePath(QStringLiteral("link"));
        QVERIFY(QFile(file).open(QIODevice::WriteOnly) && QFile::link(folder, link));
        const bool root = ::geteuid() == 0;
        const std::tuple<QString, mode_t, uid_t, QString> rows[] = {
            {folder, 0700, 0, {}},
            {folder, 0770, 0, QStringLiteral("组或其他用户可以写入（权限 0770）")},
            {folder, 0777, 0, QStringLiteral("组或其他用户可以写入（权限 0777）")},
            {file, 0700, 0, QStringLiteral("它不是文件夹")},
            {link, 0700, 0, {}},
            {folder, 0700, 65534, QStringLiteral("它属于用户 65534，不属于当前用户（0）")},
        };
        for (const auto& [path, mode, owner, fault] : rows) {
            if (owner && !root) continue;
            QVERIFY(::chmod(name, mode) == 0 &&
                    ::chown(name, owner ? owner : ::geteuid(), gid_t(-1)) == 0);
            qputenv("TESVARON_PORTS", QFile::encodeName(path));
            QCOMPARE(privateFolderFault(path), fault);
            QCOMPARE(linked(), fault.isEmpty());
        }
        QVERIFY(::chmod(name, 0700) == 0 && ::chown(name, ::geteuid(), gid_t(-1)) == 0);
        qputenv("TESVARON_PORTS", name);
        bool missing = false;
        QVERIFY(privateFolderFault(other.filePath(QStringLiteral("none")), &missing).isEmpty() &&
                missing);
        QVERIFY(linked());
        if (!root) return;
        QVERIFY(::lchown(QFile::encodeName(link), 65534, 65534) == 0);
        QCOMPARE(privateFolderFault(link), QStringLiteral("它是用户 65534 的符号链接"));
        QVERIFY(::lchown(QFile::encodeName(folder + QStringLiteral("/COM7")), 65534, 65534) == 0);
        QVERIFY(!linked());
    }

    void clockTextIsCleanOnEveryLocale()
    {
        const auto all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                  QLocale::AnyTerritory);
        QVERIFY(all.size() > 300);
        QStringList texts; // and each as it was, by locale
        for (const QLocale& locale : all)
            for (const QTime time : {QTime(1, 7, 48), QTime(13, 7, 48)}) {
                const QString text = clockText(time, locale);
                texts << locale.name() + '=' + text;
                const QString rest = QString(text)
                                         .remove(locale.amText(), Qt::CaseInsensitive)
                                         .remove(locale.pmText(), Qt::CaseInsensitive);
                QVERIFY2(!rest.contains(QRegularExpression(QStringLiteral("[][\\p{Latin}]"))) &&
                             text.contains(locale.toString(48)),
                         qPrintable(locale.name() + QStringLiteral(": ") + text));
            }
        QVERIFY(test::readsAsGolden(texts, "clock-texts"));
        const QTime time(13, 7, 48);
        qputenv("TZ", "America/Sao_Paulo"); // a zone called "-03": no part of a clock either
        QCOMPARE(clockText(time, QLocale(QStringLiteral("zh_TW"))), QStringLiteral("下午1:07:48"));
        QCOMPARE(clockText(time, QLocale(QStringLiteral("ja_JP"))), QStringLiteral("13:07:48"));
    }

    // Patterns as locales write them: zones, milliseconds and what frames them go, seconds come.
    void clockPatterns()
    {
        for (const QStringList& r : test::tableRows("clock-patterns"))
            QCOMPARE(clockPattern(r[0]), r.value(1));
    }

    void qtDialogButtonsReadChinese()
    {
        const QRegularExpression accelerator(QStringLiteral("\\(&\\w\\)|&"));
        for (const auto& [locale, ok] :
             {std::pair(QLocale(QLocale::English), QString("确定")),
              std::pair(QLocale(QLocale::Chinese, QLocale::Taiwan), QString("確定"))}) {
            QVERIFY(installQtTranslations(*qApp, locale));
            QMessageBox box;
            box.setStandardButtons(QMessageBox::Ok);
            QCOMPARE(box.button(QMessageBox::Ok)->text().remove(accelerator), ok);
        }
    }

    void pdfFallbackIsDatedInACreatedFolder()
    {
        QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        const QDateTime when(QDate(2026, 12, 7), QTime(1, 5, 33));
        QCOMPARE(pdfFallbackPath(when), home.filePath("tesvaron/打印-20261207-010533.pdf"));
        QVERIFY(QFileInfo(home.filePath(QStringLiteral("tesvaron"))).isDir());
    }

    void secondCopyAsksTheFirstToComeForward()
    {
        QTemporaryDir runtime;
        const QString path = runtime.filePath(QStringLiteral("instance"));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly)); // left where the socket goes
        SingleInstance first(path);
        QVERIFY(first.claim());
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QVERIFY(!SingleInstance(path).claim());
        QTRY_COMPARE(raised.count(), 1);
        // A listener in a folder others may write in is never asked: the copy runs unguarded.
        QVERIFY(QFile::setPermissions(runtime.path(), QFileDevice::Permissions(0x7777)));
        QVERIFY(SingleInstance(path).claim());
        QCOMPARE(raised.count(), 1);
    }
};

QTEST_MAIN(TestPlatformField)
#include "test_platform_field.moc"
