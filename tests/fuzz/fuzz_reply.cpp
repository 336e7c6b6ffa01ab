// Reply fuzzing: one input is one receive notification for a window whose link is in a chosen
// state. Built as a libFuzzer target with TESVARON_LIBFUZZER, else as the corpus replay test.
//
//   byte 0   state, modulo 6: searching; polling realtime; polling history; waiting for the
//            record total; Read pressed while a poll is open; in the middle of a download
//   byte 1   bit 7: DataDecode at once with RxCount = size + bits 0..6 as a signed number;
//            bit 6: two notifications, split after bits 0..5 bytes; else one
//   byte 2   record total of the download in the middle (1..99)
//   byte 3   blocks of it already in
//   rest     the bytes received
//
// After the bytes and one reply timeout, the window must not be left waiting for nothing.

#include "tests/support/rig.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <cstdlib>

using namespace tesvaron;
using namespace tesvaron::test;

namespace {

struct Reached
{
    int inputs = 0, accepted = 0, rows = 0, ended = 0;
};
Reached reached;

QByteArray withSum(QByteArray frame)
{
    char sum = 0;
    for (int k = 1; k < frame.size(); ++k)
        sum ^= frame[k];
    return frame + sum;
}

// False when the window was left waiting for nothing or its paging ran out of bounds.
bool runOne(const quint8* data, std::size_t size)
{
    if (size < 4) return true;
    const int state = data[0] % 6;
    Rig rig;
    Form1& f = *rig.form;
    rig.serial->instrument = nullptr;
    if (state > 0) {
        rig.serial->instrument = &rig.instrument;
        if (!rig.found()) return false;
        rig.serial->instrument = nullptr;
        if (state != 1) f.TabStrip1->clickTab(2);
    }
    if (state == 0 || state == 1 || state == 2 || state == 4)
        rig.until([&] { return f.LinkState == LinkCode::Awaiting; }, 2s);
    if (state == 3 || state == 4 || state == 5) f.Button_read->click();
    if (state == 3 || state == 5) rig.advance(30ms);
    if (state == 5) {
        const int total = 1 + data[2] % 99;
        rig.serial->deliver(withSum(QByteArray::fromHex("B103 02") + char(total)));
        for (int k = 0; k < data[3] % 10 && (k + 1) * 10 < total; ++k)
            rig.serial->deliver(withSum(QByteArray::fromHex("B1 34 01") + QByteArray(50, 1)));
    }
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 4, qsizetype(size - 4));
    const int rowsBefore = int(f.DataGrid->findItems("kV", Qt::MatchContains).size());
    if (data[1] & 0x80) {
        f.RxBuf = bytes;
        f.RxCount = int(bytes.size()) + qint8(data[1] << 1) / 2;
        f.DataDecode();
    } else if (data[1] & 0x40) {
        rig.serial->deliver(bytes.left(data[1] & 0x3F));
        rig.serial->deliver(bytes.mid(data[1] & 0x3F));
    } else {
        rig.serial->deliver(bytes);
    }
    ++reached.inputs;
    reached.accepted += f.LinkState == LinkCode::ReplyOk;
    reached.rows += int(f.DataGrid->findItems("kV", Qt::MatchContains).size()) > rowsBefore;
    reached.ended += state >= 3 && f.TabStrip1->isEnabled();
    rig.advance(2531ms);
    const bool stuck =
        !f.TabStrip1->isEnabled() && !f.Timer_timeout->Enabled() && !f.Timer_read->Enabled();
    return !stuck && f.RecBlock <= 10 && f.RecTotal <= 99;
}

} // namespace

#ifdef TESVARON_LIBFUZZER
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!runOne(data, size)) std::abort();
    return 0;
}
#else
class FuzzReplay : public QObject
{
    Q_OBJECT
private slots:
    void corpus()
    {
        const QDir dir(qEnvironmentVariable("TESVARON_TEST_DATA") + "/corpus");
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray input = file.readAll();
            QVERIFY2(runOne(reinterpret_cast<const quint8*>(input.constData()),
                            std::size_t(input.size())),
                     qPrintable(name));
        }
        // The corpus must still reach the decoder's main paths.
        QVERIFY(reached.inputs >= 60);
        QVERIFY(reached.accepted >= 20 && reached.rows >= 3 && reached.ended >= 5);
    }
};
QTEST_MAIN(FuzzReplay)
#include "fuzz_reply.moc"
#endif
