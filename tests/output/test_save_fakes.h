#pragma once
// Fakes for the save and print tests: a common dialog that plays the user's choices, a
// recording printer and workbook, and a clipboard in memory, behind a window of the shared rig.

#include "app/tab_strip.h"
#include "platform/output_seams.h"
#include "tests/support/form_rig.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QToolButton>
#include <deque>
#include <functional>
#include <memory>

namespace tesvaron::test {

// The dialog's properties as they stood when it was shown.
struct DialogUse
{
    QString fileName;
    QString filter;
    QString defaultExt;
    QString initDir;
    bool cancelError = false;
    int flags = 0;
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
        return {
            FileName, Filter, DefaultExt, InitDir, CancelError, Flags, QFileInfo::exists(InitDir)};
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
            if (item.kind == PrintItem::Text)
                parts << QStringLiteral("T:") + item.text;
            else
                parts << (item.kind == PrintItem::Advance ? "A" : "C") +
                             QString::number(item.columns);
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
    explicit FakeOutput(QString defaultFolder) : folder(std::move(defaultFolder)) {}

    ScriptedDialog scriptedDialog;
    RecordingPrinter recordingPrinter;
    PrinterSeam* realPrinter = nullptr; // prints here instead of recording when set
    QImage screen;                      // what a capture gives
    QImage clipboard;                   // what the clipboard holds
    int grabs = 0;
    QString folder;
    // The recording workbook application; none at all when `workbookFailAt` is "create".
    QString workbookFailAt;
    QStringList workbookLog;

    CommonDialog& dialog() override { return scriptedDialog; }
    QImage grabScreen(QWidget* window) override
    {
        ++grabs;
        return window ? screen : QImage();
    }
    void setClipboardImage(const QImage& image) override { clipboard = image; }
    QImage clipboardImage() override { return clipboard; }
    PrinterSeam& printer() override
    {
        return realPrinter ? *realPrinter : static_cast<PrinterSeam&>(recordingPrinter);
    }
    std::unique_ptr<WorkbookAutomation> createWorkbookApplication() override
    {
        workbookLog << QStringLiteral("create");
        if (workbookFailAt == QLatin1String("create")) return nullptr;
        return std::make_unique<RecordingWorkbook>(workbookLog, workbookFailAt);
    }
    QString defaultFolder() override { return folder; }
};

// A window without a device (no COM number opens) over the fakes.
struct SaveRig : FormRig
{
    std::shared_ptr<FakeOutput> output;

    explicit SaveRig(const QString& folder) : SaveRig(std::make_shared<FakeOutput>(folder)) {}

    ScriptedDialog& dialog() { return output->scriptedDialog; }
    void showHistory() { form->TabStrip1->clickTab(2); }
    void showRealtime() { form->TabStrip1->clickTab(1); }
    void save() { form->Button_save->click(); }
    void print() { form->Button_print->click(); }

private:
    explicit SaveRig(std::shared_ptr<FakeOutput> fake) : FormRig(fake), output(std::move(fake)) {}
};

} // namespace tesvaron::test
