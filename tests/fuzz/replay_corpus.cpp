// Replays the reply fuzzer's corpus through the same entry point, without libFuzzer, so every
// test run checks the window's invariants on every seed, and checks that the seeds still reach
// every part of the decoder. With file or folder arguments it replays those instead (a crash
// file from a fuzzing run, say) and skips the coverage check.

#include "tests/fuzz/fuzz_reply.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace {

QStringList inputsUnder(const QStringList& roots)
{
    QStringList files;
    for (const QString& root : roots) {
        const QFileInfo info(root);
        if (info.isDir()) {
            const QDir dir(root);
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
                files << dir.filePath(name);
        } else {
            files << root;
        }
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);

    QStringList roots;
    for (int i = 1; i < argc; ++i)
        roots << QString::fromLocal8Bit(argv[i]);
    const bool wholeCorpus = roots.isEmpty();
    if (wholeCorpus) {
        const QString data = qEnvironmentVariable("TESVARON_TEST_DATA");
        if (data.isEmpty()) {
            std::fprintf(stderr, "TESVARON_TEST_DATA is not set\n");
            return 2;
        }
        roots << QDir(data).filePath(QStringLiteral("corpus"));
    }

    const QStringList files = inputsUnder(roots);
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 2;
        }
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               std::size_t(bytes.size()));
    }

    const tesvaron::fuzz::Stats& s = tesvaron::fuzz::stats();
    std::printf("replayed %lld inputs (%ld long enough to run)\n",
                static_cast<long long>(files.size()), s.inputs);
    if (!wholeCorpus) return 0;

    // Two kinds the program does not know stand for all of them.
    long unknownKinds = 0;
    for (int kind = 0; kind < 256; ++kind)
        if (kind != 0x01 && kind != 0x02 && kind != 0x05 && kind != 0x06 && kind != 0xF1)
            unknownKinds += s.acceptedKind[std::size_t(kind)] > 0;

    int missing = 0;
    const auto expect = [&missing](const char* what, long reached) {
        if (reached > 0) return;
        std::fprintf(stderr, "corpus no longer reaches: %s\n", what);
        ++missing;
    };
    expect("at least 30 seeds", files.size() >= 30 ? 1 : 0);
    expect("searching", s.perState[0]);
    expect("polling, realtime view", s.perState[1]);
    expect("polling, history view", s.perState[2]);
    expect("waiting for the record count", s.perState[3]);
    expect("read asked while a poll is open", s.perState[4]);
    expect("in the middle of a download", s.perState[5]);
    expect("history block accepted", s.acceptedKind[0x01]);
    expect("record count accepted", s.acceptedKind[0x02]);
    expect("probe accepted", s.acceptedKind[0x05]);
    expect("realtime value accepted", s.acceptedKind[0x06]);
    expect("refusal accepted", s.acceptedKind[0xF1]);
    expect("two unknown kinds accepted", unknownKinds >= 2 ? 1 : 0);
    expect("bad checksum", s.badChecksum);
    expect("notification without a frame", s.undecoded);
    expect("bytes below the receive threshold", s.notNotified);
    expect("history rows written", s.rowsWritten);
    expect("next block asked for", s.nextBlockAsked);
    expect("download ended by a reply", s.downloadsEnded);
    expect("no records message", s.emptyTotals);
    expect("download ended by the reply timer", s.endedByTimeout);
    return missing == 0 ? 0 : 1;
}
