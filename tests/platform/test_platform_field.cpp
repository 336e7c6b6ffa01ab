// Held and vanishing ports, the clock on every locale, Qt's Chinese, PDF names, one copy.
#include "app/clock_text.h"
#include "platform/pdf_file.h"
#include "platform/qt_translations.h"
#include "platform/serial_backend.h"
#include "platform/single_instance.h"

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
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
    void heldPortStaysHeldHoweverOldItsLock()
    {
        Pty pty;
        QtSerialBackend backend;
        QProcess holder; // holds the port through a lock file older than the library's 30 s
        holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(holder.waitForStarted());
        const QString folder = QFileInfo("/var/lock").isWritable() ? "/var/lock" : "/tmp";
        QFile lock(folder + QStringLiteral("/LCK..pts_") + pty.slave.section(QLatin1Char('/'), -1));
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        lock.write(QByteArray::number(holder.processId()) + "\nholder\nlocalhost\n");
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-35),
                                 QFileDevice::FileModificationTime));
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::InUse);
        QVERIFY(!backend.isOpen() && lock.exists());
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::Opened); // a dead holder's lock is stale
        backend.close();

        const int flocked = ::open(qPrintable(pty.slave), O_RDWR | O_NOCTTY); // flock alone
        QVERIFY(flocked >= 0 && ::flock(flocked, LOCK_EX | LOCK_NB) == 0);
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::InUse);
        ::close(flocked);
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::Opened);
        const int other = ::open(qPrintable(pty.slave), O_RDWR | O_NOCTTY); // ours is held
        QVERIFY(other < 0 || ::flock(other, LOCK_EX | LOCK_NB) != 0);
        ::close(other);
    }

    void hangUpClosesThePortWithoutSpinning()
    {
        Pty pty;
        QtSerialBackend backend;
        QCOMPARE(backend.open(7, nullptr), OpenOutcome::Opened);
        const std::clock_t before = std::clock();
        ::close(pty.master);
        QTRY_VERIFY_WITH_TIMEOUT(!backend.isOpen(), 3000);
        QVERIFY(double(std::clock() - before) / CLOCKS_PER_SEC < 0.2);
    }

    void clockTextIsCleanOnEveryLocale()
    {
        const auto all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                  QLocale::AnyTerritory);
        QVERIFY(all.size() > 300);
        for (const QLocale& locale : all) {
            for (const QTime time : {QTime(1, 7, 48), QTime(13, 7, 48)}) {
                const QString text = clockText(time, locale);
                const QString rest = QString(text)
                                         .remove(locale.amText(), Qt::CaseInsensitive)
                                         .remove(locale.pmText(), Qt::CaseInsensitive);
                QVERIFY2(!rest.contains(QRegularExpression(QStringLiteral("[][\\p{Latin}]"))) &&
                             text.contains(locale.toString(48)),
                         qPrintable(locale.name() + QStringLiteral(": ") + text));
            }
        }
        const QTime time(13, 7, 48);
        QCOMPARE(clockText(time, QLocale(QStringLiteral("zh_TW"))), QStringLiteral("下午1:07:48"));
        QCOMPARE(clockText(time, QLocale(QStringLiteral("ja_JP"))), QStringLiteral("13:07:48"));
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
    }
};

QTEST_MAIN(TestPlatformField)
#include "test_platform_field.moc"
