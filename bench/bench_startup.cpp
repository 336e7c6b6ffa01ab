// Time from process start to the first painted window. The bench starts itself again as a child
// (posix_spawn, the clock read just before) that builds the window exactly as the program's main()
// does and reports when the first paint pass of the window has finished. The platform is the
// one the environment gives (QT_QPA_PLATFORM=offscreen, or xcb under xvfb-run).
//
// Usage: bench_startup [runs]     (default 10, after one warm-up run that is not counted)

#include "app/form1.h"
#include "bench/sim_line.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using tesvaron::bench::monotonicNs;

// Notes the first paint event of the window and the end of that paint pass.
class PaintWatch : public QObject
{
public:
    qint64 paintStarted = 0;
    qint64 paintDone = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && paintStarted == 0) {
            paintStarted = monotonicNs();
            // The whole window is painted and flushed in this pass; the next turn of the event
            // loop comes after it.
            QTimer::singleShot(0, this, [this] {
                paintDone = monotonicNs();
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

int child(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tesvaron"));
    const qint64 appReady = monotonicNs();
    tesvaron::Form1 window;
    const qint64 built = monotonicNs();
    PaintWatch watch;
    window.installEventFilter(&watch);
    window.show();
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("%lld %lld %lld %lld\n", static_cast<long long>(appReady),
                static_cast<long long>(built), static_cast<long long>(watch.paintStarted),
                static_cast<long long>(watch.paintDone));
    return watch.paintDone ? 0 : 1;
}

struct Run
{
    double app, built, paintStarted, painted; // ms from the spawn
};

bool runChild(const char* self, Run* run)
{
    int out[2];
    if (::pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char childFlag[] = "--child";
    char* args[] = {const_cast<char*>(self), childFlag, nullptr};
    pid_t pid = 0;
    const qint64 spawned = monotonicNs();
    const int rc = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return false;
    }
    QByteArray text;
    char buf[256];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, qsizetype(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    long long t[4] = {};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.constData(), "%lld %lld %lld %lld", &t[0], &t[1], &t[2], &t[3]) != 4)
        return false;
    const auto ms = [spawned](long long at) { return double(at - spawned) / 1e6; };
    *run = {ms(t[0]), ms(t[1]), ms(t[2]), ms(t[3])};
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string_view(argv[1]) == "--child") return child(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const char* platform = std::getenv("QT_QPA_PLATFORM");

    Run warmUp{};
    if (!runChild("/proc/self/exe", &warmUp)) {
        std::fprintf(stderr, "bench_startup: the window did not paint\n");
        return 1;
    }
    std::vector<double> app, built, paintStarted, painted;
    for (int i = 0; i < runs; ++i) {
        Run r{};
        if (!runChild("/proc/self/exe", &r)) {
            std::fprintf(stderr, "bench_startup: run %d failed\n", i + 1);
            return 1;
        }
        app.push_back(r.app);
        built.push_back(r.built);
        paintStarted.push_back(r.paintStarted);
        painted.push_back(r.painted);
    }
    std::printf("start-up to first painted window (%s, %d runs after a warm-up of %.1f ms):\n",
                platform ? platform : "default platform", runs, warmUp.painted);
    std::printf("  median %.1f ms, min %.1f ms, max %.1f ms\n", median(painted),
                *std::min_element(painted.begin(), painted.end()),
                *std::max_element(painted.begin(), painted.end()));
    std::printf("  medians: QApplication ready %.1f ms, window built %.1f ms, first paint event "
                "%.1f ms, paint pass done %.1f ms\n",
                median(app), median(built), median(paintStarted), median(painted));
    return 0;
}
