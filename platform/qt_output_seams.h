#pragma once
// The real output seams: QFileDialog and QPrintDialog behind the common dialog, the window's
// picture, the system clipboard and QPrinter.

#include "platform/output_seams.h"
#include "platform/qt_printer.h"

#include <QStringList>

namespace tesvaron {

// One file type of a common-dialog filter ("description|pattern|...").
struct FileType
{
    QString nameFilter; // as Qt's file dialog shows and reports it: "description (*.ext)"
    QString extension;  // first extension of the pattern, without the dot; may be empty
};
std::vector<FileType> fileTypes(const QString& filter);

// Documents\tesvaron on Windows, ~/tesvaron elsewhere.
QString defaultSaveFolder();

// The common dialog over Qt's file and print dialogs. The print dialog sets up `printer`.
class QtCommonDialog : public CommonDialog
{
public:
    static constexpr int NoPrinterErrorNumber = 482;

    explicit QtCommonDialog(QtPrinter& printer) : printer_(printer) {}

    int ShowSave(QWidget* parent) override;
    int ShowPrinter(QWidget* parent, QString* description) override;

private:
    QtPrinter& printer_;
};

// What the window saves and prints through when no test puts fakes in its place.
class QtOutputSeams : public OutputSeams
{
public:
    QtOutputSeams() : dialog_(printer_) {}

    CommonDialog& dialog() override { return dialog_; }
    QImage grabScreen(QWidget* window) override;
    void setClipboardImage(const QImage& image) override;
    PrinterSeam& printer() override { return printer_; }
    QString defaultFolder() override { return defaultSaveFolder(); }

private:
    QtPrinter printer_;
    QtCommonDialog dialog_;
};

} // namespace tesvaron
