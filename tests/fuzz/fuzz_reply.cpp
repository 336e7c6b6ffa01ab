// Fuzz target: arbitrary bytes as one receive notification of the window, through the comm
// control's threshold, MSComm1_OnComm and DataDecode, with the link set up as in each of its
// states. The input layout is in fuzz_reply.h.

#include "tests/fuzz/fuzz_reply.h"

#include "app/form1.h"
#include "app/tab_strip.h"
#include "link/request_frame.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace tesvaron::fuzz {

namespace {

using namespace std::chrono_literals;

enum LinkStateChoice {
    Searching,
    PollingRealtime,
    PollingHistory,
    WaitingForTotal,
    ReadWhilePollOpen,
    MidDownload,
};

// The longest a window may stay in the download state with nothing arriving: one reply timeout
// after the last request, which the start tick may send up to one 30 ms tick late.
constexpr auto Settle = 2500ms + 30ms + 1ms;

// The serial line: every open succeeds, writes are kept for the checks, and bytes arrive only
// when the harness delivers them.
class Line : public SerialBackend
{
public:
    std::vector<QByteArray> sent;
    long events = 0;    // writes and notifications, in order
    long lastWrite = 0; // position of the last write in that order

    OpenOutcome open(int, QString* detail) override
    {
        if (detail) detail->clear();
        open_ = true;
        rx_.clear();
        return OpenOutcome::Opened;
    }
    void close() override
    {
        open_ = false;
        rx_.clear();
    }
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& bytes) override
    {
        if (!open_) return false;
        sent.push_back(bytes);
        lastWrite = ++events;
        return true;
    }
    qint64 bytesAvailable() const override { return rx_.size(); }
    QByteArray readAll() override { return std::exchange(rx_, QByteArray()); }
    void clearInput() override { rx_.clear(); }
    void clearOutput() override {}

    std::function<void()> beforeArrival;

    // Bytes arrive as they would from the driver; the comm control decides whether to notify.
    void deliver(const QByteArray& bytes)
    {
        if (!open_) return;
        rx_ += bytes;
        if (beforeArrival) beforeArrival();
        emit readyRead();
    }

private:
    bool open_ = false;
    QByteArray rx_;
};

class CountingBox : public MessageBoxSeam
{
public:
    int shown = 0;
    void show(QWidget*, const QString&, const QString&, Icon) override { ++shown; }
    void beep() override {}
};

bool wellFormedRequest(const QByteArray& bytes)
{
    if (bytes.size() != 6) return false;
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (b[0] != 0xA1 || b[1] != 0x04 || (b[1] ^ b[2] ^ b[3] ^ b[4]) != b[5]) return false;
    switch (b[2]) {
    case KindHistoryBlock:
        // Never fewer than one record, never past record 100.
        return b[3] <= 99 && b[4] >= 1 && b[4] <= 10 && b[3] + b[4] <= 100;
    case KindRecordCount:
    case KindRealtime:
        return b[3] == 0 && b[4] == 0;
    case KindProbe:
        return b[3] == 0x55 && b[4] == 0xAA;
    default:
        return false;
    }
}

bool voltageText(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^(0|[1-9][0-9]*)(\\.[0-9])?kV$"));
    return re.match(text).hasMatch();
}

bool currentText(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^(0|[1-9][0-9]*)(\\.[0-9]{1,2})?A$"));
    return re.match(text).hasMatch();
}

// One window for the whole run, set back to a known state before every input.
class Rig
{
public:
    Rig()
    {
        Form1Seams seams;
        seams.clock = &clock_;
        seams.serial = line_ = new Line;
        seams.messageBox.reset(box_ = new CountingBox);
        form_ = std::make_unique<Form1>(std::move(seams));
        const QAbstractItemModel* model = form_->DataGrid->model();
        QObject::connect(model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             if (resetting_) return;
                             for (int r = from.row(); r <= to.row(); ++r)
                                 for (int c = from.column(); c <= to.column(); ++c) {
                                     // The model's row r is the grid's row r + 1.
                                     written_.push_back({r + 1, c, blocksAtArrival_});
                                 }
                         });
        QObject::connect(model, &QAbstractItemModel::headerDataChanged,
                         [this] { headerTouched_ = !resetting_; });
        const auto reshaped = [this] { shapeChanged_ = true; };
        QObject::connect(model, &QAbstractItemModel::rowsInserted, reshaped);
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, reshaped);
        QObject::connect(model, &QAbstractItemModel::columnsInserted, reshaped);
        line_->beforeArrival = [this] { blocksAtArrival_ = form_->RecBlock; };
        QObject::connect(form_->MSComm1, &CommControl::OnComm, [this] {
            notified_ = true;
            lastNotification_ = ++line_->events;
        });
    }

    void run(const std::uint8_t* data, std::size_t size)
    {
        if (size < HeaderSize) return;
        const int state = data[0] % StateCount;
        const std::uint8_t mode = data[1];
        const QByteArray bytes(reinterpret_cast<const char*>(data + HeaderSize),
                               qsizetype(size - HeaderSize));
        Form1& f = *form_;

        input_ = {data, size};
        reset();
        setUp(state, data[2], data[3]);
        ++stats_.inputs;
        ++stats_.perState[std::size_t(state)];

        const bool downloadBefore = !f.TabStrip1->isEnabled();
        const std::size_t sentBefore = line_->sent.size();
        const int boxesBefore = box_->shown;
        notified_ = false;

        if (mode & 0x80) {
            // Straight into the decoder, with a count that may disagree with the bytes.
            const int delta = int(std::int8_t(std::uint8_t(mode << 1))) >> 1;
            f.MSComm1->setPortOpen(false);
            f.RxBuf = bytes;
            f.RxCount = std::max(0, int(bytes.size()) + delta);
            notified_ = true;
            blocksAtArrival_ = f.RecBlock;
            f.DataDecode();
        } else if (mode & 0x40) {
            const qsizetype at = std::min<qsizetype>(mode & 0x3F, bytes.size());
            line_->deliver(bytes.left(at));
            line_->deliver(bytes.mid(at));
        } else {
            line_->deliver(bytes);
        }

        tally(f, sentBefore, boxesBefore, downloadBefore);
        check(f, sentBefore);

        // Nothing more comes: within one reply timeout the window must be usable again.
        line_->sent.clear();
        clock_.advance(Settle);
        if (!f.TabStrip1->isEnabled()) fail("commands still disabled one reply timeout later");
        if (f.Button_save->isEnabled() != f.TabStrip1->isEnabled())
            fail("save and the tab strip disagree after the timeout");
        if (!f.Progress_read->isHidden() && !f.Timer_timeout->Enabled())
            fail("progress bar left up with no reply awaited");
        for (const QByteArray& request : line_->sent)
            if (!wellFormedRequest(request)) fail("malformed request while settling");
        if (downloadBefore && f.LinkState == 5) ++stats_.endedByTimeout;
    }

    const Stats& stats() const { return stats_; }

private:
    void reset()
    {
        Form1& f = *form_;
        resetting_ = true;
        for (const Cell& cell : written_)
            f.DataGrid->setTextMatrix(cell.row, cell.col, QString());
        written_.clear();
        for (PeriodicTimer* t :
             {f.Timer_date, f.Timer_findcom, f.Timer_real, f.Timer_read, f.Timer_timeout})
            t->setEnabled(false);
        f.MSComm1->setPortOpen(false);
        f.ComNo = 1;
        f.ComFound = false;
        f.RxNeed = 0;
        f.RealMode = true;
        f.LinkState = 0;
        f.RxBuf.clear();
        f.RxCount = 0;
        f.RxFrame.fill(0);
        f.RecTotal = 0;
        f.RecBlock = 0;
        f.VoltText.clear();
        f.VoltUnit.clear();
        f.CurrText.clear();
        enable(f.TabStrip1, true);
        f.TabStrip1->selectItem(1);
        f.TabStrip1_Click();
        f.Timer_real->setEnabled(false);
        f.Progress_read->hide();
        f.Progress_read->setRange(0, 100);
        f.Progress_read->setValue(0);
        line_->sent.clear();
        headerTouched_ = false;
        shapeChanged_ = false;
        resetting_ = false;
    }

    // The fields, timers and commands as the program's own handlers leave them in `state`.
    void setUp(int state, std::uint8_t total, std::uint8_t blocks)
    {
        Form1& f = *form_;
        f.ComFound = state != Searching;
        if (state >= PollingHistory) {
            f.TabStrip1->selectItem(2);
            f.TabStrip1_Click();
        }
        switch (state) {
        case Searching:
            f.Timer_findcom->setEnabled(true);
            f.Timer_timeout->setEnabled(true);
            f.ComOpen(1);
            f.CmdSend(KindProbe, 0, 0);
            f.ComNo = 2;
            return;
        case PollingRealtime:
            f.Timer_real->setEnabled(true);
            f.ComOpen(1);
            f.CmdSend(KindRealtime, 0, 0);
            break;
        case PollingHistory:
        case ReadWhilePollOpen:
            f.ComOpen(1);
            f.CmdSend(KindProbe, 0, 0);
            if (state == ReadWhilePollOpen) f.Button_read_Click();
            break;
        case WaitingForTotal:
        case MidDownload:
            f.LinkState = 2;
            f.Button_read_Click();
            f.Timer_read_Timer();
            if (state == MidDownload) {
                const int recTotal = 1 + total % 99;
                const int in = blocks % ((recTotal + 9) / 10);
                f.RecTotal = std::int16_t(recTotal);
                f.RecBlock = std::uint8_t(in);
                f.Progress_read->setMaximum(recTotal);
                f.Progress_read->setMinimum(0);
                f.Progress_read->setValue(in * 10);
                f.Progress_read->show();
                f.ComOpen(1);
                f.CmdSend(KindHistoryBlock, std::int16_t(in == 0 ? 1 : in * 10),
                          std::int16_t(std::min(10, recTotal - in * 10)));
            }
            break;
        }
        f.Timer_findcom->setEnabled(false);
    }

    void tally(const Form1& f, std::size_t sentBefore, int boxesBefore, bool downloadBefore)
    {
        if (!notified_) {
            ++stats_.notNotified;
            return;
        }
        if (f.LinkState == 2)
            ++stats_.acceptedKind[f.RxFrame[1]];
        else if (f.LinkState == 3)
            ++stats_.badChecksum;
        else
            ++stats_.undecoded;
        stats_.rowsWritten += long(written_.size());
        for (std::size_t i = sentBefore; i < line_->sent.size(); ++i)
            if (line_->sent[i].size() > 2 && line_->sent[i][2] == char(KindHistoryBlock))
                ++stats_.nextBlockAsked;
        if (downloadBefore && f.TabStrip1->isEnabled()) ++stats_.downloadsEnded;
        if (box_->shown > boxesBefore) ++stats_.emptyTotals;
    }

    [[noreturn]] void fail(const char* what) const
    {
        std::fprintf(stderr, "invariant violated: %s\ninput:", what);
        for (const std::uint8_t byte : input_)
            std::fprintf(stderr, " %02x", byte);
        std::fprintf(stderr, "\n");
        std::abort();
    }

    void check(const Form1& f, std::size_t sentBefore) const
    {
        if (f.RecTotal < 0 || f.RecTotal > 99) fail("record total outside 0..99");
        if (f.RecBlock > 10) fail("more than ten blocks in one download");
        if (f.RecBlock > 0 && (f.RecBlock - 1) * 10 >= f.RecTotal)
            fail("block count runs past the record total");

        // History cells: columns 1..3 of the rows of the block that came (the blocks in before
        // it times ten, plus at most the 19 records a frame can hold), never past row 99.
        for (const auto& [row, col, blocks] : written_) {
            if (row < blocks * 10 + 1 || row > std::min(blocks * 10 + 19, 99))
                fail("history row written outside the block's rows");
            if (col < 1 || col > 3) fail("history column 0 or beyond 3 written");
            const QString text = f.DataGrid->TextMatrix(row, col);
            if (col < 3 ? !voltageText(text) : !currentText(text))
                fail("history cell with a malformed measurement text");
        }
        if (headerTouched_) fail("history header row written");
        if (shapeChanged_ || f.DataGrid->Rows() != 100 || f.DataGrid->Cols() != 4)
            fail("history grid changed shape");

        // Realtime labels: a measurement text or the over-range mark, whatever came.
        for (const auto& [label, wellFormed, what] :
             {std::tuple{f.Lab_value_lg, &voltageText, "malformed voltage label"},
              std::tuple{f.Lab_value_ll, &voltageText, "malformed line-voltage label"},
              std::tuple{f.Lab_value_a, &currentText, "malformed current label"}})
            if (label->text() != OverRangeTextForCheck && !wellFormed(label->text())) fail(what);

        // The commands come back together, and a disabled window always has something pending.
        const bool tabs = f.TabStrip1->isEnabled();
        if (f.Button_save->isEnabled() != tabs || f.Button_print->isEnabled() != tabs ||
            f.Button_help->isEnabled() != tabs || f.menusave->isEnabled() != tabs ||
            f.menuprint->isEnabled() != tabs)
            fail("commands and tab strip disagree");
        if (!tabs && !f.Timer_timeout->Enabled() && !f.Timer_read->Enabled())
            fail("commands disabled with no reply awaited and no download starting");
        if (!f.Progress_read->isHidden() && !f.Timer_timeout->Enabled() && !f.Timer_read->Enabled())
            fail("progress bar shown with nothing pending");
        if (f.RealMode && f.Button_read->isEnabled()) fail("read enabled in the realtime view");
        if (!f.Button_close->isEnabled() || !f.menuclose->isEnabled()) fail("close disabled");

        if (f.LinkState != 1 && f.LinkState != 2 && f.LinkState != 3)
            fail("link state other than 1, 2 or 3 after a notification");
        for (std::size_t i = sentBefore; i < line_->sent.size(); ++i)
            if (!wellFormedRequest(line_->sent[i])) fail("malformed request");
        // The last request written opened the port for its reply, unless a later notification
        // (the second part of a split delivery) has already taken bytes as that reply.
        if (line_->sent.size() > sentBefore && line_->lastWrite > lastNotification_ &&
            !f.MSComm1->PortOpen())
            fail("request written but the port left closed");
    }

    inline static const QString OverRangeTextForCheck = QStringLiteral("NO--");

    VirtualClock clock_;
    Line* line_ = nullptr;
    CountingBox* box_ = nullptr;
    std::unique_ptr<Form1> form_;
    struct Cell
    {
        int row;
        int col;
        int blocks; // RecBlock when the bytes that wrote it arrived
    };
    std::vector<Cell> written_; // cells written by the current input, cleared before the next
    int blocksAtArrival_ = 0;
    bool resetting_ = false;
    bool headerTouched_ = false;
    bool shapeChanged_ = false;
    bool notified_ = false;
    long lastNotification_ = 0;
    std::span<const std::uint8_t> input_; // the input being run
    Stats stats_;
};

Rig& rig()
{
    // Lives for the whole process, like the fuzzer's own state.
    static Rig* const instance = new Rig;
    return *instance;
}

} // namespace

const Stats& stats()
{
    return rig().stats();
}

} // namespace tesvaron::fuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::temp().filePath(QStringLiteral("tesvaron-fuzz-runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    if (!QCoreApplication::instance()) {
        static int qtArgc = 1;
        static char name[] = "fuzz_reply";
        static char* qtArgv[] = {name, nullptr};
        static QApplication* const app = new QApplication(qtArgc, qtArgv);
        Q_UNUSED(app);
    }
    tesvaron::fuzz::rig();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tesvaron::fuzz::rig().run(data, size);
    return 0;
}
