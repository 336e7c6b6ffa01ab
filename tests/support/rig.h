#pragma once
// Shared test rigs: hex bytes, a scripted serial line in virtual time with the in-process
// simulated instrument behind it, and a window built over them.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "platform/message_box.h"
#include "replies/measure_format.h"
#include "sim/instrument.h"
#include "tests/support/data.h"

#include <QtWidgets>
#include <functional>
#include <map>
#include <memory>

namespace tesvaron::test {

using namespace std::chrono_literals;

// Serial line for tests: listed COM numbers open (as the devices given), others fail as told or
// as no such port. Writes are recorded; the instrument's replies arrive byte by byte, about
// 1 ms apart, through the virtual clock, and are lost once the port is closed.
class ScriptedSerial : public SerialBackend
{
public:
    struct Written
    {
        std::chrono::milliseconds at;
        int com;
        QByteArray bytes;
    };
    explicit ScriptedSerial(VirtualClock* clock) : clock_(clock) {}

    QMap<int, OpenOutcome> outcomes;
    QMap<int, QString> devices;
    sim::Instrument* instrument = nullptr; // answers on `instrumentCom`
    int instrumentCom = 1;
    std::function<QByteArray(const QByteArray&)> mangle; // changes a reply before it is sent
    std::vector<Written> written;

    OpenOutcome open(int com, QString* detail) override
    {
        const OpenOutcome outcome = outcomes.value(com, OpenOutcome::NotFound);
        device_ = outcome == OpenOutcome::NotFound ? QString() : devices.value(com);
        if (detail) *detail = device_;
        if (outcome != OpenOutcome::Opened) return outcome;
        open_ = true;
        com_ = com;
        ++session_;
        rx_.clear();
        return outcome;
    }
    QString device() const override { return device_; }
    void close() override
    {
        open_ = false;
        ++session_;
        rx_.clear();
    }
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& bytes) override
    {
        if (!open_) return false;
        written.push_back({clock_->now(), com_, bytes});
        if (!instrument || com_ != instrumentCom) return true;
        const int session = session_;
        auto at = clock_->now() + std::chrono::milliseconds(bytes.size());
        for (const sim::ReplyChunk& chunk : instrument->receive(bytes)) {
            at += chunk.delay;
            const QByteArray reply = mangle ? mangle(chunk.bytes) : chunk.bytes;
            for (char byte : reply)
                clock_->schedule(at += 1ms, [this, session, byte] {
                    if (session == session_) deliver(QByteArray(1, byte));
                });
        }
        return true;
    }
    void deliver(const QByteArray& bytes)
    {
        if (!open_) return;
        rx_ += bytes;
        emit readyRead();
    }
    qint64 bytesAvailable() const override { return rx_.size(); }
    QByteArray readAll() override { return std::exchange(rx_, {}); }
    void clearInput() override { rx_.clear(); }
    void clearOutput() override {}

private:
    VirtualClock* clock_;
    QString device_;
    bool open_ = false;
    int com_ = 0;
    int session_ = 0;
    QByteArray rx_;
};

// Message boxes as a list; `whileOpen` runs while a "modal" box is up.
class RecordingMessageBox : public MessageBoxSeam
{
public:
    QStringList shown; // title, then text, per box
    int beeps = 0;
    std::function<void()> whileOpen;
    void show(QWidget*, const QString& title, const QString& text, Icon) override
    {
        shown << title << text;
        if (whileOpen) whileOpen();
    }
    QStringList asked; // the questions' texts; each answered with `yes`
    bool yes = true;
    bool ask(QWidget*, const QString&, const QString& text) override { return asked << text, yes; }
    void beep() override { ++beeps; }
};

// A window over a scripted line; with an instrument, COM `com` opens onto it.
struct Rig
{
    VirtualClock clock;
    sim::Instrument instrument;
    ScriptedSerial* serial = new ScriptedSerial(&clock);
    RecordingMessageBox* boxes = new RecordingMessageBox;
    std::unique_ptr<Form1> form;

    explicit Rig(sim::SimConfig config = {}, int com = 1,
                 std::shared_ptr<OutputSeams> output = nullptr)
        : instrument(std::move(config))
    {
        serial->outcomes[com] = OpenOutcome::Opened;
        serial->devices[com] = QStringLiteral("/dev/ttyUSB0");
        serial->instrument = &instrument;
        serial->instrumentCom = com;
        Form1Seams seams;
        seams.clock = &clock;
        seams.serial = serial;
        seams.messageBox.reset(boxes);
        seams.output = std::move(output);
        form = std::make_unique<Form1>(std::move(seams));
    }
    void advance(std::chrono::milliseconds span) { clock.advance(span); }
    bool until(const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s)
    {
        return clock.advanceUntil(pred, limit);
    }
    // Runs the search until the instrument is found and polled.
    bool found()
    {
        return until([this] { return !form->Timer_findcom->Enabled(); });
    }
    // History tab, Read, and the download run to its end (a poll's timeout may give the
    // commands back while the start tick still waits to send).
    bool download()
    {
        form->TabStrip1->clickTab(2);
        form->Button_read->click();
        return until([this] {
            return form->TabStrip1->isEnabled() && !form->Timer_read->Enabled() &&
                   form->Progress_read->isHidden() && form->LinkState != LinkCode::Awaiting;
        });
    }
    QStringList row(int r) const
    {
        return {form->DataGrid->TextMatrix(r, 1), form->DataGrid->TextMatrix(r, 2),
                form->DataGrid->TextMatrix(r, 3)};
    }
    QStringList recordRow(int index) const
    {
        const sim::Record& r = instrument.records().at(std::size_t(index));
        const MeasureTexts t = historyTexts(r.voltage, r.current, r.code);
        return {t.ground, t.line, t.current};
    }
};

// A fresh object of class `m`, if it is one of T.
template <class... T> QObject* stock(const QMetaObject* m)
{
    QObject* made = nullptr;
    ((made = m == &T::staticMetaObject ? new T : made), ...);
    return made;
}

// Every object under `root`, with the properties in which it differs from a fresh object of
// its nearest stock class, the cells of its tables and the Tab order: what a picture misses.
inline QStringList describe(QObject* root)
{
    static std::map<const QMetaObject*, std::unique_ptr<QObject>> fresh;
    static const QRegularExpression skipped(
        "^(objectName|pos|x|y|width|height|size|rect|palette|"
        "frame(Geometry|Size)|normalGeometry|children.*|locale)$");
    const auto text = [](const QMetaProperty& p, const QVariant& v) {
        QString s;
        if (p.isEnumType()) return QString(p.enumerator().valueToKeys(v.toInt()));
        static const QRegularExpression wrapper("^QVariant\\(\\w+, (.*)\\)$");
        if (v.metaType() != QMetaType::fromType<QIcon>())
            return (QDebug(&s).nospace() << v, s).replace(wrapper, "\\1");
        QCryptographicHash hash(QCryptographicHash::Md5); // of every size the icon has
        for (const QSize size : v.value<QIcon>().availableSizes()) {
            const QImage image = v.value<QIcon>().pixmap(size).toImage();
            hash.addData({image.constBits(), image.sizeInBytes()});
        }
        return QString(hash.result().toHex());
    };
    QStringList lines;
    std::function<void(QObject*, QString)> walk = [&](QObject* o, QString indent) {
        const QMetaObject* m = o->metaObject();
        while (
            !fresh[m] &&
            !(fresh[m] = std::unique_ptr<QObject>(
                  stock<QObject, QAction, QWidget, QMainWindow, QLabel, QToolButton, QPushButton,
                        QMenu, QCheckBox, QComboBox, QDateEdit, QLineEdit, QProgressBar, QMenuBar,
                        QGroupBox, QTableWidget, QTabBar, QTabWidget, QScrollArea, QStatusBar,
                        QTextBrowser, QSplitter, QFrame, QDialog, QDialogButtonBox, QVBoxLayout,
                        QHBoxLayout, QGridLayout, QFormLayout, QScrollBar, QItemSelectionModel>(
                      m))))
            m = m->superClass();
        QObject* base = fresh[m].get();
        const auto* w = qobject_cast<QWidget*>(o);
        const auto* a = qobject_cast<QAction*>(o);
        lines << indent + o->metaObject()->className() + ' ' + o->objectName() +
                     (w && w->isHidden() ? " hidden" : "") + (a && a->isSeparator() ? " —" : "");
        for (int i = 0; i < o->metaObject()->propertyCount(); ++i) {
            const QMetaProperty p = o->metaObject()->property(i);
            const QVariant v = p.read(o);
            if (skipped.match(p.name()).hasMatch() ||
                v.metaType().flags() & QMetaType::PointerToQObject)
                continue;
            const QString value = text(p, v);
            const bool inherited =
                (p.name() == QByteArrayView("font") || p.name() == QByteArrayView("windowIcon")) &&
                o->parent() && value == text(p, o->parent()->property(p.name()));
            static const QRegularExpression address("0x[0-9a-f]{6,}"); // differs every run
            if (inherited || value.contains(address)) continue;
            if (i >= m->propertyCount() || value != text(p, p.read(base)))
                lines << indent + "  " + p.name() + '=' + value;
        }
        if (const auto* t = qobject_cast<QTabBar*>(o))
            for (int i = 0; i < t->count(); ++i)
                lines << indent + "  tab " + t->tabText(i);
        if (const auto* c = qobject_cast<QComboBox*>(o))
            for (int i = 0; i < c->count(); ++i)
                lines << indent + "  item " + c->itemText(i);
        if (const auto* g = qobject_cast<QTableWidget*>(o))
            for (int r = -1; r < g->rowCount(); ++r) {
                QString row =
                    QStringLiteral("  row %1 %2:").arg(r).arg(r < 0 ? 0 : g->rowHeight(r));
                for (int c = 0; c < g->columnCount(); ++c) {
                    const QTableWidgetItem* it = r < 0 ? g->horizontalHeaderItem(c) : g->item(r, c);
                    row += QStringLiteral(" %1|%2").arg(it ? it->text() : "",
                                                        r < 0 ? QString::number(g->columnWidth(c))
                                                        : it  ? QString::number(it->textAlignment())
                                                              : "");
                }
                lines << indent + row;
            }
        for (QObject* child : o->children())
            walk(child, indent + "  ");
    };
    walk(root, {});
    if (auto* w = qobject_cast<QWidget*>(root)) {
        QString tabs = "tab order:";
        for (QWidget* next = w->nextInFocusChain(); next != w; next = next->nextInFocusChain())
            if (next->focusPolicy() & Qt::TabFocus && !next->objectName().isEmpty())
                tabs += ' ' + next->objectName();
        lines << tabs;
    }
    return lines;
}

// Whether the widget is made as golden/<name>.txt tells and looks as golden/<name>.png, but for
// what anti-aliasing moves.
inline bool looksAsGolden(QWidget& widget, const QString& name, const QString& varying = "(?!)")
{
    const QImage shot = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString golden = qEnvironmentVariable("TESVARON_TEST_DATA") + "/golden/" + name + ".png";
    if (qEnvironmentVariableIsSet("TESVARON_UPDATE_GOLDEN")) shot.save(golden);
    const bool windows = QSysInfo::kernelType() == "winnt"; // other fonts, styles and glyphs
    if (!windows && !readsAsGolden(describe(&widget), name, varying)) return false;
    const QImage want = QImage(golden).convertToFormat(QImage::Format_RGB32);
    const bool sized = shot.size() == want.size(); // Windows: the size only
    if (!sized || windows) return sized;
    int differing = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb a = shot.pixel(x, y), b = want.pixel(x, y);
            differing += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                   std::abs(qBlue(a) - qBlue(b))}) > 48;
        }
    qInfo("%s: %d pixels differ", qPrintable(name), differing);
    return differing <= 8;
}

} // namespace tesvaron::test
