#pragma once
// Fakes for the save and print tests: a common dialog that plays the user's choices, a
// recording printer and workbook, a clipboard in memory, recorded message boxes, and a serial
// line that never opens, so the window runs its commands without any device.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "platform/message_box.h"
#include "platform/output_seams.h"
#include "platform/periodic_timer.h"
#include "platform/serial_backend.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QToolButton>
#include <deque>
#include <functional>
#include <memory>

namespace tesvaron::test {

// No COM number opens.
class ClosedSerial : public SerialBackend
{
public:
    OpenOutcome open(int, QString*) override { return OpenOutcome::NotFound; }
    void close() override {}
    bool isOpen() const override { return false; }
    bool write(const QByteArray&) override { return false; }
    qint64 bytesAvailable() const override { return 0; }
    QByteArray readAll() override { return {}; }
    void clearInput() override {}
    void clearOutput() override {}
};

// One message box as the window showed it.
struct ShownBox
{
    QString title;
    QString text;
    MessageBoxSeam::Icon icon;
    int beepsBefore;
};

class RecordingBoxes : public MessageBoxSeam
{
public:
    std::vector<ShownBox> shown;
    int beeps = 0;

    void show(QWidget*, const QString& title, const QString& text, Icon icon) override
    {
        shown.push_back({title, text, icon, beeps});
    }
    void beep() override { ++beeps; }
};

// The dialog's properties as they stood when it was shown.
struct DialogUse
{
    QString fileName;
    QString filter;
    QString defaultExt;
    QString initDir;
    bool cancelError = false;
    int flags = 0;
    int filterIndex = 0;
    bool folderExisted = false;
};

class ScriptedDialog : public CommonDialog
{
public:
    // What the user does at the next save dialog; with none left the user cancels.
    struct Choice
    {
        int index = 1;
        QString name; // typed into the name field; a bare name lands in InitDir
        bool cancel = false;
        std::function<void()> whileOpen;
    };
    std::deque<Choice> choices;
    std::vector<DialogUse> saves;
    std::vector<DialogUse> prints;
    int printResult = 0;
    QString printDescription;

    void choose(int index, const QString& name) { choices.push_back({index, name, false, {}}); }
    void cancel() { choices.push_back({1, {}, true, {}}); }

    int ShowSave(QWidget*) override
    {
        saves.push_back(use());
        const Choice choice = choices.empty() ? Choice{1, {}, true, {}} : choices.front();
        if (!choices.empty()) choices.pop_front();
        if (choice.whileOpen) choice.whileOpen();
        if (choice.cancel) return CancelError ? CancelErrorNumber : 0;
        FilterIndex = choice.index;
        FileName = QDir(InitDir).filePath(choice.name);
        // Like the dialog: a name typed without extension gets the default one.
        if (QFileInfo(choice.name).suffix().isEmpty()) FileName += DefaultExt;
        return 0;
    }

    int ShowPrinter(QWidget*, QString* description) override
    {
        prints.push_back(use());
        if (printResult != 0 && printResult != CancelErrorNumber) *description = printDescription;
        return printResult;
    }

private:
    DialogUse use() const
    {
        return {FileName,    Filter, DefaultExt,  InitDir,
                CancelError, Flags,  FilterIndex, QFileInfo::exists(InitDir)};
    }
};

// Every printer call as text: "Y500", "EndDoc", and lines as "T:text", "A5", "C10" items
// joined by '|'.
class RecordingPrinter : public PrinterSeam
{
public:
    QStringList calls;

    void setCurrentY(float y) override { calls << QStringLiteral("Y%1").arg(double(y)); }
    void printLine(const PrintLine& items) override
    {
        QStringList parts;
        for (const PrintItem& item : items) {
            switch (item.kind) {
            case PrintItem::Text:
                parts << QStringLiteral("T:") + item.text;
                break;
            case PrintItem::Advance:
                parts << QStringLiteral("A%1").arg(item.columns);
                break;
            case PrintItem::ToColumn:
                parts << QStringLiteral("C%1").arg(item.columns);
                break;
            }
        }
        calls << parts.join(QLatin1Char('|'));
    }
    bool EndDoc(QString*) override
    {
        calls << QStringLiteral("EndDoc");
        return true;
    }
};

// Records the automation calls into `log`; the call whose record starts with `failAt` fails.
class RecordingWorkbook : public WorkbookAutomation
{
public:
    RecordingWorkbook(QStringList& log, QString failAt) : log_(log), failAt_(std::move(failAt)) {}

    bool addWorkbook() override { return record(QStringLiteral("addWorkbook")); }
    bool firstWorksheet() override { return record(QStringLiteral("firstWorksheet")); }
    bool setHorizontalAlignment(int row, int col, int alignment) override
    {
        return record(QStringLiteral("align(%1,%2,%3)").arg(row).arg(col).arg(alignment));
    }
    bool setValue(int row, int col, const QString& text) override
    {
        return record(QStringLiteral("value(%1,%2,%3)").arg(row).arg(col).arg(text));
    }
    bool saveAs(const QString& fileName, QString* error) override
    {
        if (record(QStringLiteral("saveAs(%1)").arg(fileName))) return true;
        *error = QStringLiteral("the file is locked");
        return false;
    }
    void closeWorkbook() override { record(QStringLiteral("closeWorkbook")); }
    void quit() override { record(QStringLiteral("quit")); }

private:
    bool record(const QString& call)
    {
        log_ << call;
        return failAt_.isEmpty() || !call.startsWith(failAt_);
    }
    QStringList& log_;
    QString failAt_;
};

class FakeOutput : public OutputSeams
{
public:
    ScriptedDialog scriptedDialog;
    RecordingPrinter recordingPrinter;
    PrinterSeam* realPrinter = nullptr; // prints here instead of recording when set
    QImage screen;                      // what a capture gives
    QImage clipboard;                   // what the clipboard holds
    int grabs = 0;
    int clipboardSets = 0;
    QString folder;
    // The workbook application: the recording one unless replaced; none when `noWorkbook`.
    bool noWorkbook = false;
    QString workbookFailAt;
    QStringList workbookLog;
    std::function<std::unique_ptr<WorkbookAutomation>()> makeWorkbook;

    CommonDialog& dialog() override { return scriptedDialog; }
    QImage grabScreen(QWidget* window) override
    {
        ++grabs;
        return window ? screen : QImage();
    }
    void setClipboardImage(const QImage& image) override
    {
        ++clipboardSets;
        clipboard = image;
    }
    QImage clipboardImage() override { return clipboard; }
    PrinterSeam& printer() override
    {
        return realPrinter ? *realPrinter : static_cast<PrinterSeam&>(recordingPrinter);
    }
    std::unique_ptr<WorkbookAutomation> createWorkbookApplication() override
    {
        workbookLog << QStringLiteral("create");
        if (noWorkbook) return nullptr;
        if (makeWorkbook) return makeWorkbook();
        return std::make_unique<RecordingWorkbook>(workbookLog, workbookFailAt);
    }
    QString defaultFolder() override { return folder; }
};

// A window over the fakes; its timers run only when the virtual clock is advanced.
struct SaveRig
{
    VirtualClock clock;
    std::shared_ptr<FakeOutput> output = std::make_shared<FakeOutput>();
    RecordingBoxes* boxes = new RecordingBoxes;
    std::unique_ptr<Form1> form;

    explicit SaveRig(const QString& folder)
    {
        output->folder = folder;
        Form1Seams seams;
        seams.clock = &clock;
        seams.serial = new ClosedSerial;
        seams.messageBox.reset(boxes);
        seams.output = output;
        form = std::make_unique<Form1>(std::move(seams));
    }

    ScriptedDialog& dialog() { return output->scriptedDialog; }
    void showHistory() { form->TabStrip1->clickTab(2); }
    void showRealtime() { form->TabStrip1->clickTab(1); }
    void save() { form->Button_save->click(); }
    void print() { form->Button_print->click(); }
};

} // namespace tesvaron::test
