// tesvaron-sim: the simulated instrument on a pseudo-terminal, reachable as COM<n> through a
// symbolic link in the port-link folder.

#include "platform/port_map.h"
#include "platform/private_folder.h"
#include "platform/signal_pipe.h"
#include "sim/instrument.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using tesvaron::sim::Instrument;

namespace {

using Clock = std::chrono::steady_clock;

// 10 bits a byte at 9600 baud.
constexpr std::chrono::nanoseconds ByteTime{1'041'667};

QString readLink(const QString& path)
{
    char buf[4096];
    const QByteArray p = QFile::encodeName(path);
    const ssize_t n = ::readlink(p.constData(), buf, sizeof buf - 1);
    if (n < 0) return {};
    return QFile::decodeName(QByteArray(buf, int(n)));
}

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Serves the instrument on the master side of a pty: reads requests, sends paced replies.
class PtyLine : public QObject
{
public:
    PtyLine(Instrument& instrument, bool pace, bool verbose)
        : instrument_(instrument), pace_(pace), verbose_(verbose)
    {
        pumpTimer_.setSingleShot(true);
        pumpTimer_.setTimerType(Qt::PreciseTimer);
        connect(&pumpTimer_, &QTimer::timeout, this, &PtyLine::pump);
    }

    ~PtyLine() override
    {
        delete notifier_;
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }

    bool open(QString* error)
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        const char* name = ::ptsname(master_);
        if (!name) {
            *error = QStringLiteral("ptsname failed");
            return false;
        }
        slavePath_ = QString::fromLocal8Bit(name);
        // held for the whole run: without an open slave the master reports hang-up endlessly
        // while the program has its port closed
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) {
            *error = QStringLiteral("cannot open %1").arg(slavePath_);
            return false;
        }
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        ::tcsetattr(slave_, TCSANOW, &t);

        notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read);
        connect(notifier_, &QSocketNotifier::activated, this, &PtyLine::readMaster);
        return true;
    }

    QString slavePath() const { return slavePath_; }

private:
    void log(const char* what, const QByteArray& bytes) const
    {
        if (!verbose_) return;
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count();
        std::fprintf(stderr, "%8lld %s %s\n", static_cast<long long>(ms), what,
                     qPrintable(hex(bytes)));
    }

    void readMaster()
    {
        QByteArray in;
        char buf[512];
        while (true) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                in.append(buf, int(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        if (in.isEmpty()) return;
        log("rx", in);
        for (auto& chunk : instrument_.receive(in)) {
            QTimer::singleShot(chunk.delay, Qt::PreciseTimer, this,
                               [this, bytes = chunk.bytes] { putOnLine(bytes); });
        }
    }

    // A reply chunk is due: it goes out byte by byte at line speed, after whatever is queued.
    void putOnLine(const QByteArray& bytes)
    {
        log("tx", bytes);
        const auto now = Clock::now();
        if (!pace_) {
            for (char c : bytes)
                out_.push_back({now, c});
        } else {
            lineFreeAt_ = std::max(lineFreeAt_, now);
            for (char c : bytes) {
                lineFreeAt_ += ByteTime;
                out_.push_back({lineFreeAt_, c});
            }
        }
        pump();
    }

    // Writes every byte whose time has come and waits for the next.
    void pump()
    {
        const auto now = Clock::now();
        QByteArray ready;
        while (!out_.empty() && out_.front().first <= now) {
            ready.append(out_.front().second);
            out_.pop_front();
        }
        qsizetype written = 0;
        while (written < ready.size()) {
            const ssize_t n = ::write(master_, ready.constData() + written,
                                      static_cast<std::size_t>(ready.size() - written));
            if (n > 0) {
                written += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break; // pty buffer full: try the rest again shortly
            }
        }
        for (qsizetype i = ready.size() - 1; i >= written; --i)
            out_.push_front({now, ready[i]});
        if (out_.empty()) return;
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(out_.front().first - now);
        if (written < ready.size()) wait = std::max(wait, 1ms);
        pumpTimer_.start(std::max(wait, 0ms));
    }

    Instrument& instrument_;
    const bool pace_;
    const bool verbose_;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer pumpTimer_;
    std::deque<std::pair<Clock::time_point, char>> out_;
    Clock::time_point lineFreeAt_{};
    const Clock::time_point started_ = Clock::now();
};

[[noreturn]] void die(const QString& message, int code = 1)
{
    std::fprintf(stderr, "tesvaron-sim: %s\n", qPrintable(message));
    std::exit(code);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tesvaron-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Tesvaron instrument on a pseudo-terminal, linked as COM<n> in the port-link "
        "folder ($TESVARON_PORTS, else tesvaron in the user's private runtime folder).\n"
        "Faults (NAME[:ARG][@KIND], KIND = 1|2|5|6|block|count|probe|realtime):\n"
        "  none, silence, drop[:K=2], badcs, stray[:N=3], split[:MS=300], truncate[:N=1],\n"
        "  f1, late[:MS=3000], randdrop[:PERCENT=1], randcorrupt[:PERCENT=1]"));
    parser.addHelpOption();
    const QCommandLineOption comOpt(QStringLiteral("com"), QStringLiteral("COM number (1..255)."),
                                    QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption recordsOpt(QStringLiteral("records"),
                                        QStringLiteral("Stored history records (0..255)."),
                                        QStringLiteral("N"), QStringLiteral("25"));
    const QCommandLineOption seedOpt(QStringLiteral("seed"),
                                     QStringLiteral("Seed of the generated values and faults."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption turnOpt(QStringLiteral("turnaround"),
                                     QStringLiteral("Delay before a reply starts, in ms."),
                                     QStringLiteral("MS"), QStringLiteral("5"));
    const QCommandLineOption faultOpt(QStringLiteral("fault"),
                                      QStringLiteral("Add a fault; may be repeated."),
                                      QStringLiteral("NAME[:ARG][@KIND]"));
    const QCommandLineOption noPaceOpt(QStringLiteral("no-pace"),
                                       QStringLiteral("Send replies at once, not at 9600 baud."));
    const QCommandLineOption verboseOpt(QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
                                        QStringLiteral("Log every request and reply on stderr."));
    parser.addOptions({comOpt, recordsOpt, seedOpt, turnOpt, faultOpt, noPaceOpt, verboseOpt});
    parser.process(app);

    auto number = [&parser](const QCommandLineOption& opt, qint64 low, qint64 high) {
        bool ok = false;
        const qint64 v = parser.value(opt).toLongLong(&ok, 0);
        if (!ok || v < low || v > high)
            die(QStringLiteral("bad value for --%1: %2")
                    .arg(opt.names().constLast(), parser.value(opt)),
                2);
        return v;
    };
    const int com = int(number(comOpt, 1, 255));
    tesvaron::sim::SimConfig config;
    config.recordCount = int(number(recordsOpt, 0, 255));
    config.seed = quint64(number(seedOpt, 0, std::numeric_limits<qint64>::max()));
    config.turnaround = std::chrono::milliseconds(number(turnOpt, 0, 600000));
    for (const QString& text : parser.values(faultOpt)) {
        QString why;
        const auto fault = tesvaron::sim::parseFault(text, &why);
        if (!fault) die(why, 2);
        config.faults.push_back(*fault);
    }
    Instrument instrument(config);

    PtyLine line(instrument, !parser.isSet(noPaceOpt), parser.isSet(verboseOpt));
    QString error;
    if (!line.open(&error)) die(error);

    QString refusal;
    const QString folder = tesvaron::portLinkFolder(&refusal);
    if (folder.isEmpty()) die(refusal);
    if (const QString fault = tesvaron::makePrivateFolder(folder); !fault.isEmpty())
        die(tesvaron::folderRefusal(folder, fault));
    const QString link = folder + QStringLiteral("/COM%1").arg(com);
    const QByteArray linkName = QFile::encodeName(link);
    const QString slave = line.slavePath();
    {
        struct stat st
        {
        };
        if (::lstat(linkName.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) die(QStringLiteral("%1 exists and is no link").arg(link));
            // a link left by a simulator that died points to a pty that is gone (or to the
            // one just handed to us); any other target is someone's live port
            const QString target = QFileInfo(link).symLinkTarget();
            if (target != slave && QFileInfo::exists(target))
                die(QStringLiteral("%1 already points to %2, which is alive; remove the link "
                                   "or choose another --com")
                        .arg(link, target));
        }
        const QByteArray temp = QFile::encodeName(link + QStringLiteral(".%1").arg(::getpid()));
        ::unlink(temp.constData());
        if (::symlink(QFile::encodeName(slave).constData(), temp.constData()) != 0 ||
            ::rename(temp.constData(), linkName.constData()) != 0) {
            ::unlink(temp.constData());
            die(QStringLiteral("cannot create %1: %2")
                    .arg(link, QString::fromLocal8Bit(std::strerror(errno))));
        }
    }

    // Signals reach the event loop through a pipe so that the link is removed on the way out.
    tesvaron::SignalPipe signalPipe({SIGINT, SIGTERM, SIGHUP});
    if (!signalPipe.ok()) die(QStringLiteral("pipe failed"));
    QObject::connect(&signalPipe, &tesvaron::SignalPipe::raised, &app, &QCoreApplication::quit);

    std::printf("tesvaron-sim: COM%d -> %s\n", com, qPrintable(slave));
    std::fflush(stdout);

    const int rc = app.exec();

    if (readLink(link) == slave) ::unlink(linkName.constData());
    std::fprintf(stderr,
                 "tesvaron-sim: requests: probe %d, realtime %d, count %d, block %d, other %d; "
                 "replies %d, left out %d\n",
                 instrument.requestsSeen(tesvaron::sim::KindProbe),
                 instrument.requestsSeen(tesvaron::sim::KindRealtime),
                 instrument.requestsSeen(tesvaron::sim::KindRecordCount),
                 instrument.requestsSeen(tesvaron::sim::KindHistoryBlock),
                 instrument.requestsSeen() - instrument.requestsSeen(tesvaron::sim::KindProbe) -
                     instrument.requestsSeen(tesvaron::sim::KindRealtime) -
                     instrument.requestsSeen(tesvaron::sim::KindRecordCount) -
                     instrument.requestsSeen(tesvaron::sim::KindHistoryBlock),
                 instrument.repliesSent(), instrument.repliesSuppressed());
    return rc;
}
