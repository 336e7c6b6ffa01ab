#pragma once
// The platform pieces that saving and printing use: the shared file/print dialog, the screen
// picture and clipboard, and the printer. Tests put recording fakes
// in their place.

#include <QImage>
#include <QString>
#include <memory>
#include <vector>

class QWidget;

namespace tesvaron {

// The common dialog shared by both save commands and printing. Its properties persist between
// uses, the selected file-type index among them.
class CommonDialog
{
public:
    static constexpr int CancelErrorNumber = 32755;
    // Flags of the print dialog: hide the page-range choice.
    static constexpr int NoPageNums = 0x8;

    virtual ~CommonDialog() = default;

    QString FileName;
    QString Filter;     // "description|pattern|description|pattern|"
    QString DefaultExt; // ".jpg", ".txt", ".xls"
    QString InitDir;
    bool CancelError = false;
    int Flags = 0;
    int FilterIndex = 0; // 1-based index of the chosen file type; below 2 before the first use

    // Modal save dialog. Returns 0 on OK (FileName and FilterIndex set) or 32755 on Cancel.
    virtual int ShowSave(QWidget* parent) = 0;
    // Modal print dialog; on OK the printer seam prints to the printer chosen. Returns 0 on OK,
    // 32755 on Cancel, another number with `description` when no printer can be had.
    virtual int ShowPrinter(QWidget* parent, QString* description) = 0;
};

// One item of a printed line.
struct PrintItem
{
    enum Kind { Text, Advance, ToColumn } kind;
    QString text; // Text
    // Advance: move right by this many columns; ToColumn: go to this column (1-based).
    int columns = 0;
};
using PrintLine = std::vector<PrintItem>;

// The printer the print dialog chose.
class PrinterSeam
{
public:
    virtual ~PrinterSeam() = default;
    // Sets the vertical position of the next line, in twips (1/1440 inch) from the top of the
    // printable area.
    virtual void setCurrentY(float y) = 0;
    // Prints the items left to right on the current line, then moves to the next line.
    virtual void printLine(const PrintLine& items) = 0;
    // Sends the printed lines as one job; false with `error` set when it could not.
    virtual bool EndDoc(QString* error) = 0;
    // The file the job went to when it was printed to a file (PDF); empty for a printer.
    virtual QString outputFile() const { return {}; }
};

class OutputSeams
{
public:
    virtual ~OutputSeams() = default;

    virtual CommonDialog& dialog() = 0;
    // A picture of what the screen (here: the window) shows now; empty when it cannot be taken.
    virtual QImage grabScreen(QWidget* window) = 0;
    // Replaces what the clipboard holds with the picture (a null picture changes nothing).
    virtual void setClipboardImage(const QImage& image) = 0;
    virtual PrinterSeam& printer() = 0;
    // The default save folder: "c:\tesvaron" on Windows, ~/tesvaron elsewhere.
    virtual QString defaultFolder() = 0;

    // The real ones: Qt dialogs, the window's picture, the system clipboard and QPrinter.
    static std::shared_ptr<OutputSeams> real();
};

} // namespace tesvaron
